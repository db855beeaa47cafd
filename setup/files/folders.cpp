#include "setup/files/folders.h"

#include <cstdlib>
#include <system_error>

namespace velkor::setup {
namespace {

// An XDG base folder: the variable when it names an absolute path, else the
// fallback under the home folder.
std::filesystem::path BaseFolder(const char* variable, const char* fallback) {
  if (const char* value = std::getenv(variable); value && value[0] == '/') return value;
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : "/tmp") / fallback;
}

}  // namespace

std::filesystem::path WindowSettingsFile() {
  return BaseFolder("XDG_CONFIG_HOME", ".config") / "velkor" / "FenwaSU.ini";
}

std::filesystem::path AxisDataFolder() {
  const auto folder = BaseFolder("XDG_DATA_HOME", ".local/share") / "velkor" / "Axis Data Files";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder;
}

}  // namespace velkor::setup
