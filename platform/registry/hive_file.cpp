#include "platform/registry/hive_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <random>

namespace velkor::registry::detail {

namespace {

// Closes a descriptor on every way out.
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

std::string TemporaryName(const std::filesystem::path& path) {
  static std::atomic<unsigned> counter{0};
  thread_local std::minstd_rand random(std::random_device{}());
  return path.string() + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++) + "." +
         std::to_string(random());
}

void SyncFolder(const std::filesystem::path& folder) {
  Descriptor directory(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.get() >= 0) ::fsync(directory.get());  // durability only: the rename already happened
}

}  // namespace

FileText ReadWholeFile(const std::filesystem::path& path) {
  FileText result;
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    result.outcome = errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::Failed;
    return result;
  }
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      result.text.clear();
      return result;
    }
    if (got == 0) break;
    result.text.append(buffer, static_cast<std::size_t>(got));
  }
  result.outcome = ReadOutcome::Read;
  return result;
}

bool ReplaceFile(const std::filesystem::path& path, std::string_view text) {
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;

  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temporary = TemporaryName(path);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  Descriptor file(fd);

  bool written = WriteAll(file.get(), text);
  if (written && exists) written = ::fchmod(file.get(), existing.st_mode & 07777) == 0;
  written = written && ::fsync(file.get()) == 0;
  written = file.Close() && written;
  if (written && ::rename(temporary.c_str(), path.c_str()) == 0) {
    SyncFolder(path.parent_path());
    return true;
  }
  ::unlink(temporary.c_str());
  return false;
}

ExclusiveFileLock::ExclusiveFileLock(const std::filesystem::path& lockPath) {
  const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  int locked;
  do {
    locked = ::flock(fd, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) {
    ::close(fd);
    return;
  }
  descriptor_ = fd;
}

ExclusiveFileLock::~ExclusiveFileLock() {
  if (descriptor_ >= 0) ::close(descriptor_);  // closing releases the lock
}

}  // namespace velkor::registry::detail
