// Profile strings on files: each call reads the file afresh, and each change
// is one read-modify-replace.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>

#include "platform/profile/profile.h"

namespace velkor::profile {

namespace {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

enum class Read { Done, Missing, Failed };

Read ReadFile(const std::filesystem::path& path, std::string& text) {
  text.clear();
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return errno == ENOENT ? Read::Missing : Read::Failed;
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return Read::Failed;
    }
    if (got == 0) return Read::Done;
    text.append(buffer, static_cast<std::size_t>(got));
  }
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// A new file beside the old one, flushed, then renamed over it: a crash or a
// full disk leaves the old file, never a half-written one. The folder is not
// created: as on the platform, a file in a missing folder cannot be written.
bool ReplaceFile(const std::filesystem::path& path, std::string_view text) {
  static std::atomic<unsigned> counter{0};
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;

  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temporary = path.string() + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  Descriptor file(fd);

  bool written = WriteAll(file.get(), text);
  if (written && exists) written = ::fchmod(file.get(), existing.st_mode & 07777) == 0;
  written = written && ::fsync(file.get()) == 0;
  written = file.Close() && written;
  if (written && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

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
    std::string text;
    const Read read = ReadFile(path, text);
    if (read == Read::Failed) return false;
    ProfileText profile = ProfileText::Parse(text);
    bool changed = false;
    if (!change(profile, changed)) return false;
    if (!changed) return true;
    return ReplaceFile(path, profile.Text());
  } catch (...) {
    return false;
  }
}

std::optional<ProfileText> Load(const std::filesystem::path& path) {
  std::string text;
  if (ReadFile(path, text) != Read::Done) return std::nullopt;
  return ProfileText::Parse(text);
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

bool DeleteProfileSection(std::string_view section, const std::filesystem::path& path) {
  return Rewrite(path, [&](ProfileText& profile, bool& changed) {
    changed = profile.EraseSection(section);
    return true;
  });
}

}  // namespace velkor::profile
