#include "setup/transfer/settings_backup.h"

#include <ctime>

#include "setup/files/axis_file.h"
#include "setup/transfer/settings_upload.h"

namespace velkor::setup {
namespace {

// A serial number as a file name: anything that is no letter or digit goes.
std::string FileSafe(const std::string& text) {
  std::string safe;
  for (char c : text)
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_') safe += c;
  return safe.empty() ? std::string("motor") : safe;
}

}  // namespace

std::string LocalTimeText(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[64];
  return std::strftime(text, sizeof text, format, &local) > 0 ? std::string(text) : std::string();
}

std::filesystem::path BackupFolder(const std::filesystem::path& axisDataFolder) { return axisDataFolder / "backups"; }

BackupOutcome BackUpMotorSettings(const AxisSettings& current, const std::filesystem::path& folder,
                                  const std::string& serialNumber, const std::string& port, MotorChannel& motor,
                                  Clock& clock) {
  BackupOutcome outcome;
  View quiet;
  const UploadOutcome read = SettingsUpload(current, UploadRequest{port}, motor, clock, quiet);
  if (read.noData) return outcome;
  if (!read.settings) {
    outcome.failure = "the motor's settings could not be read: " + read.failure;
    return outcome;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::filesystem::path file = folder / (FileSafe(serialNumber) + "-" + LocalTimeText("%Y%m%d-%H%M%S") + ".adf");
  if (const auto problem = SaveAxisFile(*read.settings, file)) {
    outcome.failure = *problem;
    return outcome;
  }
  outcome.file = file;
  return outcome;
}

}  // namespace velkor::setup
