#pragma once
// Short texts kept in the motor's EEPROM (the last file downloaded and its
// date), and the checksum answer a program file makes a motor give.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "setup/transfer/motor_channel.h"

namespace velkor::setup {

// One character code per long of al[0]..al[25], -1 after the last; longer
// texts are cut to 26 characters. False when a command failed.
bool StoreText(std::string_view text, int eepromAddress, MotorChannel& motor, Clock& clock);
// The text back, up to its first -1; nothing when a command failed.
std::optional<std::string> LoadText(int eepromAddress, MotorChannel& motor, Clock& clock);

// What a motor running the program in `file` answers to "RCKS": the label
// checksum field, a blank, the body checksum field, " P". Nothing when the
// file cannot be read or is shorter than a header.
std::optional<std::string> ExpectedProgramChecksum(const std::filesystem::path& file);

}  // namespace velkor::setup
