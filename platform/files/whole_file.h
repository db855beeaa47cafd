#pragma once
// Files read and written whole. Nothing here throws.

#include <filesystem>
#include <string>
#include <string_view>

namespace velkor::files {

// Missing and Failed differ on purpose: a missing file is an empty one, an
// unreadable one is not, and must not be overwritten as if it were.
enum class ReadOutcome { Done, Missing, Failed, TooLong };

struct FileText {
  ReadOutcome outcome = ReadOutcome::Failed;
  std::string text;  // empty unless outcome is Done
};

// At most `limit` bytes: a longer file (or an endless device) is TooLong,
// found without reading more than one byte past the limit.
FileText ReadWholeFile(const std::filesystem::path& path, std::size_t limit = static_cast<std::size_t>(-1));

// Where a write of `path` lands: a symbolic link is followed (to its
// target's target, ...), so that replacing the file keeps the link.
std::filesystem::path ThroughLinks(const std::filesystem::path& path);

// Writes `text` to a new file in the same folder, flushes it to the disk and
// renames it over `path`, keeping the old file's permission bits; a `path`
// that is a symbolic link is written through it. On failure the old file
// stays as it was and no temporary file is left behind. The folder is not
// created.
bool ReplaceFile(const std::filesystem::path& path, std::string_view text);

}  // namespace velkor::files
