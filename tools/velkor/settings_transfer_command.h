#pragma once
// velkor settings download/upload, and diff against a motor: an axis data
// file to a motor's data block and back, as the setup window does it.

#include <cstdio>
#include <span>
#include <string_view>

namespace velkor::client {

// Exit status: 0 done (diff: equal), 1 diff: they differ, 2 bad usage, a
// file that cannot be read or written, an engine failure, a motor without
// data or a download broken off (the motor's data is then marked invalid).
int SettingsDownloadCommand(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);
int SettingsUploadCommand(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);
int SettingsMotorDiff(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);

}  // namespace velkor::client
