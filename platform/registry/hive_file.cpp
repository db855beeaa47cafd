#include "platform/registry/hive_file.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace velkor::registry::detail {

ExclusiveFileLock::ExclusiveFileLock(const std::filesystem::path& lockPath)
    : descriptor_(::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666)) {
  if (!descriptor_.valid()) return;
  int locked;
  do {
    locked = ::flock(descriptor_.get(), LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  if (locked != 0) descriptor_.Close();
}

}  // namespace velkor::registry::detail
