#pragma once
// Where an upload goes: checked for writability before any traffic, and
// replaced whole at the end, so that a failed upload leaves an older file as
// it was.

#include <filesystem>
#include <string>

namespace velkor::engine::transfer {

// True when `file` can be created or replaced.
bool CanWrite(const std::filesystem::path& file);

// Replaces the file with `bytes`; false on failure.
bool WriteUpload(const std::filesystem::path& file, const std::string& bytes);

}  // namespace velkor::engine::transfer
