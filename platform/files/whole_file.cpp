#include "platform/files/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <random>

#include "platform/files/descriptor.h"

namespace velkor::files {

namespace {

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

// Unique within the process by the counter; the random part keeps a process
// that reuses a dead one's id off its leftovers.
std::string TemporaryName(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  thread_local std::minstd_rand random(std::random_device{}());
  return path.string() + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++) + "." +
         std::to_string(random());
}

// A new file of its own beside `path`, or nothing.
std::optional<std::string> CreateTemporary(const std::filesystem::path& path, int& fd) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string temporary = TemporaryName(path);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return temporary;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

void SyncFolder(const std::filesystem::path& path) noexcept {
  try {
    const std::filesystem::path folder = path.parent_path();
    Descriptor directory(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.valid()) ::fsync(directory.get());
  } catch (...) {
    // durability only: the rename already happened
  }
}

}  // namespace

FileText ReadWholeFile(const std::filesystem::path& path, std::size_t limit) {
  FileText result;
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.valid()) {
    result.outcome = errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::Failed;
    return result;
  }
  try {
    char buffer[8192];
    for (;;) {
      const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
      if (got < 0) {
        if (errno == EINTR) continue;
        result.text.clear();
        return result;
      }
      if (got == 0) break;
      if (result.text.size() + static_cast<std::size_t>(got) > limit) {
        result.text.clear();
        result.outcome = ReadOutcome::TooLong;
        return result;
      }
      result.text.append(buffer, static_cast<std::size_t>(got));
    }
  } catch (...) {
    result.text.clear();
    return result;
  }
  result.outcome = ReadOutcome::Done;
  return result;
}

std::filesystem::path ThroughLinks(const std::filesystem::path& path) {
  std::filesystem::path current = path;
  std::error_code error;
  for (int depth = 0; depth < 40 && std::filesystem::is_symlink(current, error); ++depth) {
    const std::filesystem::path target = std::filesystem::read_symlink(current, error);
    if (error) break;
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  return current;
}

bool ReplaceFile(const std::filesystem::path& linkOrFile, std::string_view text) {
  const std::filesystem::path path = ThroughLinks(linkOrFile);
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;

  // Only the name can throw, and it is made before any file exists.
  std::optional<std::string> temporary;
  int fd = -1;
  try {
    temporary = CreateTemporary(path, fd);
  } catch (...) {
    return false;
  }
  if (!temporary) return false;
  Descriptor file(fd);

  bool written = WriteAll(file.get(), text);
  if (written && exists) written = ::fchmod(file.get(), existing.st_mode & 07777) == 0;
  written = written && ::fsync(file.get()) == 0;
  written = file.Close() && written;
  if (written && ::rename(temporary->c_str(), path.c_str()) == 0) {
    SyncFolder(path);
    return true;
  }
  ::unlink(temporary->c_str());
  return false;
}

}  // namespace velkor::files
