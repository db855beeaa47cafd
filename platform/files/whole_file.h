#pragma once
// Files read and written whole. Nothing here throws.

#include <filesystem>
#include <string>
#include <string_view>

namespace velkor::files {

// Missing and Failed differ on purpose: a missing file is an empty one, an
// unreadable one is not, and must not be overwritten as if it were.
enum class ReadOutcome { Done, Missing, Failed };

struct FileText {
  ReadOutcome outcome = ReadOutcome::Failed;
  std::string text;  // empty unless outcome is Done
};

FileText ReadWholeFile(const std::filesystem::path& path);

// Writes `text` to a new file in the same folder, flushes it to the disk and
// renames it over `path`, keeping the old file's permission bits. On failure
// the old file stays as it was and no temporary file is left behind. The
// folder is not created.
bool ReplaceFile(const std::filesystem::path& path, std::string_view text);

}  // namespace velkor::files
