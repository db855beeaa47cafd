#pragma once
// Before a download overwrites a motor's settings: what the motor holds, read
// back as the upload reads it and kept in a file, so that a wrong download
// can be undone by downloading the backup.

#include <filesystem>
#include <optional>
#include <string>

#include "setup/model/axis_settings.h"
#include "setup/transfer/motor_channel.h"

namespace velkor::setup {

struct BackupOutcome {
  std::optional<std::filesystem::path> file;  // nothing when the motor held no settings
  std::string failure;                        // the motor could not be read or the file not written
};

// "SERIAL-YYYYMMDD-HHMMSS.adf" in `folder` (created), from the motor's data
// block when its marker says it holds settings; `current` gives the decimals.
// Nothing on the line but the upload's questions; nothing on the screen.
BackupOutcome BackUpMotorSettings(const AxisSettings& current, const std::filesystem::path& folder,
                                  const std::string& serialNumber, const std::string& port, MotorChannel& motor,
                                  Clock& clock);

// The local time now in an strftime format ("%Y%m%d-%H%M%S").
std::string LocalTimeText(const char* format);

// The backups folder beside the axis data files.
std::filesystem::path BackupFolder(const std::filesystem::path& axisDataFolder);

}  // namespace velkor::setup
