// Reads and locked writes of the hive files.

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/files/text.h"
#include "platform/files/whole_file.h"
#include "platform/registry/hive_file.h"
#include "platform/registry/registry.h"

namespace velkor::registry {

namespace fs = std::filesystem;

namespace {

std::string_view RootName(Hive hive) {
  return hive == Hive::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::string(value);
}

fs::path HomeFolder() {
  if (auto home = Environment("HOME")) return *home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return {};
}


}  // namespace

fs::path HivePath(Hive hive) {
  if (hive == Hive::LocalMachine) {
    if (auto path = Environment("VELKOR_REGISTRY_MACHINE")) return *path;
    return "/etc/velkor/machine.reg";
  }
  if (auto path = Environment("VELKOR_REGISTRY")) return *path;
  // A relative XDG_CONFIG_HOME is to be ignored, says the base directory rule.
  if (auto config = Environment("XDG_CONFIG_HOME"); config && fs::path(*config).is_absolute())
    return fs::path(*config) / "velkor" / "user.reg";
  return HomeFolder() / ".config" / "velkor" / "user.reg";
}

HiveContents ReadHive(Hive hive) {
  try {
    const auto file = files::ReadWholeFile(HivePath(hive));
    if (file.outcome != files::ReadOutcome::Done) return {};
    return HiveContents::Parse(files::DecodeText(file.text), RootName(hive));
  } catch (...) {
    return {};
  }
}

std::optional<std::string> HiveProblem(Hive hive) {
  const fs::path path = files::ThroughLinks(HivePath(hive));
  const auto file = files::ReadWholeFile(path);
  if (file.outcome == files::ReadOutcome::Failed) return path.string() + " cannot be read";
  if (file.outcome == files::ReadOutcome::Done && !IsHiveText(files::DecodeText(file.text)))
    return path.string() + " is not a registry file (it does not begin with \"" + std::string(kHiveHeader) +
           "\"); it is left as it is";
  return std::nullopt;
}

bool KeyExists(Hive hive, std::string_view keyPath) {
  try {
    return ReadHive(hive).HasKey(keyPath);
  } catch (...) {
    return false;
  }
}

std::optional<std::uint32_t> ReadDword(Hive hive, std::string_view keyPath, std::string_view valueName) {
  try {
    auto value = ReadHive(hive).Get(keyPath, valueName);
    if (!value) return std::nullopt;
    if (const auto* number = std::get_if<std::uint32_t>(&*value)) return *number;
  } catch (...) {
  }
  return std::nullopt;
}

std::optional<std::string> ReadString(Hive hive, std::string_view keyPath, std::string_view valueName) {
  try {
    auto value = ReadHive(hive).Get(keyPath, valueName);
    if (!value) return std::nullopt;
    if (auto* text = std::get_if<std::string>(&*value)) return std::move(*text);
  } catch (...) {
  }
  return std::nullopt;
}

bool EditWith(Hive hive, bool (*change)(HiveContents&, void*), void* context) {
  try {
    const fs::path path = files::ThroughLinks(HivePath(hive));
    if (path.has_parent_path()) {
      std::error_code error;
      fs::create_directories(path.parent_path(), error);
      if (error) return false;
    }
    detail::ExclusiveFileLock lock(path.string() + ".lock");
    if (!lock.held()) return false;

    // An unreadable file is not an empty one, nor is a file of another
    // kind: writing would lose what it holds.
    const auto file = files::ReadWholeFile(path);
    if (file.outcome == files::ReadOutcome::Failed) return false;
    const std::string text = files::DecodeText(file.text);
    if (!IsHiveText(text)) return false;
    HiveContents contents = HiveContents::Parse(text, RootName(hive));
    if (!change(contents, context)) return false;
    // Written back in the encoding it came in (the editor exports UTF-16).
    return files::ReplaceFile(path, files::EncodeText(contents.Format(RootName(hive)), files::EncodingOf(file.text)));
  } catch (...) {
    return false;
  }
}

bool WriteDword(Hive hive, std::string_view keyPath, std::string_view valueName, std::uint32_t value) {
  return Edit(hive, [&](HiveContents& contents) {
    contents.Set(keyPath, valueName, value);
    return true;
  });
}

bool WriteString(Hive hive, std::string_view keyPath, std::string_view valueName, std::string_view value) {
  return Edit(hive, [&](HiveContents& contents) {
    contents.Set(keyPath, valueName, std::string(value));
    return true;
  });
}

bool DeleteValue(Hive hive, std::string_view keyPath, std::string_view valueName) {
  return Edit(hive, [&](HiveContents& contents) { return contents.DeleteValue(keyPath, valueName); });
}

bool DeleteKeyTree(Hive hive, std::string_view keyPath) {
  return Edit(hive, [&](HiveContents& contents) { return contents.DeleteKeyTree(keyPath); });
}

}  // namespace velkor::registry
