#include "engine/motor/upload_target.h"

#include <unistd.h>

#include "platform/files/whole_file.h"

namespace velkor::engine::transfer {

bool CanWrite(const std::filesystem::path& file) {
  std::error_code error;
  if (std::filesystem::is_directory(file, error)) return false;
  if (std::filesystem::exists(file, error) && ::access(file.c_str(), W_OK) != 0) return false;
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool WriteUpload(const std::filesystem::path& file, const std::string& bytes) { return files::ReplaceFile(file, bytes); }

}  // namespace velkor::engine::transfer
