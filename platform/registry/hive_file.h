#pragma once
// The file side of a hive: whole-file reads, an exclusive lock beside the
// file, and replacement by rename so that readers never see half a file.

#include <filesystem>
#include <string>
#include <string_view>

namespace velkor::registry::detail {

enum class ReadOutcome { Read, Missing, Failed };

struct FileText {
  ReadOutcome outcome = ReadOutcome::Failed;
  std::string text;
};

FileText ReadWholeFile(const std::filesystem::path& path);

// Writes `text` to a new file in the same folder, flushes it to the disk and
// renames it over `path`, keeping the old file's permission bits. On failure
// the old file stays as it was and no temporary file is left behind.
bool ReplaceFile(const std::filesystem::path& path, std::string_view text);

// An exclusive flock on a file that is never removed, held for the object's
// life. Taken per open file, so it also orders threads of one process.
class ExclusiveFileLock {
 public:
  explicit ExclusiveFileLock(const std::filesystem::path& lockPath);
  ~ExclusiveFileLock();
  ExclusiveFileLock(const ExclusiveFileLock&) = delete;
  ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;

  bool held() const { return descriptor_ >= 0; }

 private:
  int descriptor_ = -1;
};

}  // namespace velkor::registry::detail
