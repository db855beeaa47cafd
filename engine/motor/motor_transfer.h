#pragma once
// Program download and upload for one motor, on any link: checked against
// the motor's firmware and state, verified by the checksum the motor
// computes, and recorded in the motor's information block.

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/motor/motor_record.h"

namespace velkor::engine::transfer {

// Downloads an image file; 1 done, 0 cancelled (or a failure that the force
// flag swallowed).
std::int32_t DownloadFile(MotorRecord& motor, const std::filesystem::path& file, std::int32_t flags);
// Downloads image text that the caller holds.
std::int32_t DownloadText(MotorRecord& motor, std::string image, std::int32_t flags);
// Downloads the empty program. A clear started while another is running
// (the cancel path of a cancelled clear) does nothing.
void ClearMotorProgram(MotorRecord& motor, std::int32_t flags);

// True when the motor keeps programs. May leave a probe program behind.
bool ProbeEeprom(MotorRecord& motor);

// The stored program, with CR LF line ends unless `raw`.
std::string UploadText(MotorRecord& motor, bool compiled, bool raw);
// The stored program into a file; ".vqc" names take the compiled one.
void UploadFile(MotorRecord& motor, const std::filesystem::path& file);

// A servo-firmware motor: its version begins "46". A version that cannot be
// read counts as no servo.
bool IsServoMotor(MotorRecord& motor);

}  // namespace velkor::engine::transfer
