// Profile strings on files: each call reads the file afresh, and each change
// is one read-modify-replace.

#include <mutex>

#include "platform/files/whole_file.h"
#include "platform/profile/profile.h"

namespace velkor::profile {

namespace {

// Writers of one process take turns, so that two threads updating different
// keys of one file do not undo each other. Other processes are not held off;
// the platform's profile functions do not do that either.
std::mutex& WriterTurn() {
  static std::mutex turn;
  return turn;
}

template <class Change>
bool Rewrite(const std::filesystem::path& path, Change&& change) {
  try {
    std::lock_guard turn(WriterTurn());
    const files::FileText file = files::ReadWholeFile(path);
    if (file.outcome == files::ReadOutcome::Failed) return false;
    ProfileText profile = ProfileText::Parse(file.text);
    bool changed = false;
    if (!change(profile, changed)) return false;
    if (!changed) return true;
    // The folder is not created: as on the platform, a file in a missing
    // folder cannot be written.
    return files::ReplaceFile(path, profile.Text());
  } catch (...) {
    return false;
  }
}

std::optional<ProfileText> Load(const std::filesystem::path& path) {
  const files::FileText file = files::ReadWholeFile(path);
  if (file.outcome != files::ReadOutcome::Done) return std::nullopt;
  return ProfileText::Parse(file.text);
}

}  // namespace

std::string GetProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                             const std::filesystem::path& path) {
  try {
    if (auto profile = Load(path)) {
      if (auto value = profile->Get(section, key)) return std::move(*value);
    }
    return std::string(defaultValue);
  } catch (...) {
    return {};
  }
}

std::optional<ProfileText> ReadProfile(const std::filesystem::path& path, std::size_t limit) {
  try {
    const files::FileText file = files::ReadWholeFile(path, limit);
    if (file.outcome != files::ReadOutcome::Done) return std::nullopt;
    return ProfileText::Parse(file.text);
  } catch (...) {
    return std::nullopt;
  }
}

std::vector<std::string> GetProfileSections(const std::filesystem::path& path) {
  try {
    if (auto profile = Load(path)) return profile->Sections();
  } catch (...) {
  }
  return {};
}

std::vector<std::string> GetProfileKeys(std::string_view section, const std::filesystem::path& path) {
  try {
    if (auto profile = Load(path)) return profile->Keys(section);
  } catch (...) {
  }
  return {};
}

bool WriteProfileString(std::string_view section, std::string_view key, std::optional<std::string_view> value,
                        const std::filesystem::path& path) {
  return Rewrite(path, [&](ProfileText& profile, bool& changed) {
    if (!value) {
      changed = profile.Erase(section, key);
      return true;
    }
    changed = profile.Set(section, key, *value);
    return changed;
  });
}

bool WriteProfileStrings(const std::vector<ProfileEntry>& entries, const std::filesystem::path& path) {
  return Rewrite(path, [&](ProfileText& profile, bool& changed) {
    for (const ProfileEntry& entry : entries)
      if (!profile.Set(entry.section, entry.key, entry.value)) return false;
    changed = true;
    return true;
  });
}

bool DeleteProfileSection(std::string_view section, const std::filesystem::path& path) {
  return Rewrite(path, [&](ProfileText& profile, bool& changed) {
    changed = profile.EraseSection(section);
    return true;
  });
}

}  // namespace velkor::profile
