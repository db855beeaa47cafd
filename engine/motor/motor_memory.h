#pragma once
// Motor memory through borrowed motor variables. The motor language cannot
// report memory directly: a value is loaded into a user variable ("VLD") or
// stored from one ("VST") at the memory pointer ("EPTR="). Every routine
// saves the variables it borrows and puts the user's values back, so that a
// program running in the motor sees them unchanged.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/motor/motor_record.h"

namespace velkor::engine {

// Every access must lie within the motor's memory, and is refused with
// error 19 before anything is sent when it does not; an access the motor
// refuses (status bit Bs) is error 19 too, after the borrowed variables are
// back.

// The answer to "R" followed by the name.
std::string ReadVariable(MotorRecord& motor, std::string_view name);

std::uint8_t ReadMotorByte(MotorRecord& motor, std::int32_t address);
std::uint16_t ReadMotorWord(MotorRecord& motor, std::int32_t address);
std::int32_t ReadMotorLong(MotorRecord& motor, std::int32_t address);

// The write routines do nothing on a motor without EEPROM.
void WriteMotorByte(MotorRecord& motor, std::int32_t address, std::uint8_t value);
void WriteMotorWord(MotorRecord& motor, std::int32_t address, std::uint16_t value);
void WriteMotorLong(MotorRecord& motor, std::int32_t address, std::int32_t value);

// Fills `buffer` from memory at `address`, ten long variables at a time.
// With a notification window and at least 150 bytes it reports progress;
// the window may cancel. False when cancelled (the rest of the buffer is
// then left as it was).
bool ReadMotorBlock(MotorRecord& motor, std::int32_t address, std::span<std::uint8_t> buffer);

// Stores `bytes` at `address`. Memory moves in whole longs: when the length
// is not a multiple of 4, the motor's own bytes after the block are read
// first and written back unchanged with the last long.
void WriteMotorBlock(MotorRecord& motor, std::int32_t address, std::span<const std::uint8_t> bytes);

// Waits for the motor to finish a store: it answers once the store is done,
// with its status bit Bs ("1": the store was refused).
std::string WaitStoreDone(MotorRecord& motor);

// Reads and checks the information block; caches it and returns its length,
// or 0 (nothing cached) when the motor has no valid block.
std::uint16_t ReadInfoBlock(MotorRecord& motor);

}  // namespace velkor::engine
