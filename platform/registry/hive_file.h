#pragma once
// The file side of a hive beyond whole-file reads and replacement: an
// exclusive lock beside the file, so that writers take turns.

#include <filesystem>

#include "platform/files/descriptor.h"

namespace velkor::registry::detail {

// An exclusive flock on a file that is never removed, held for the object's
// life. Taken per open file, so it also orders threads of one process.
class ExclusiveFileLock {
 public:
  explicit ExclusiveFileLock(const std::filesystem::path& lockPath);
  ExclusiveFileLock(const ExclusiveFileLock&) = delete;
  ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

  bool held() const { return descriptor_.valid(); }

 private:
  files::Descriptor descriptor_;  // closing it releases the lock
};

}  // namespace velkor::registry::detail
