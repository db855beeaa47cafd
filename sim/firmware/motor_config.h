#pragma once
// What makes one simulated motor different from another: its identity, its
// factory settings and the way it is wired to the line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velkor::sim {

// The input `input` (A..G) reads 0, active, while the shaft is at or beyond
// `position` on the side `direction` points to.
struct LimitSwitch {
  char input = 'A';
  std::int32_t position = 0;
  int direction = 1;  // +1 or -1
  bool operator==(const LimitSwitch&) const = default;
};

struct HardStops {
  std::int32_t low = 0, high = 0;
  bool operator==(const HardStops&) const = default;
};

// What the shaft is coupled to, in counts from its power-up position; by
// default nothing: it turns freely for ever.
struct Mechanics {
  std::optional<HardStops> hardStops;
  std::vector<LimitSwitch> limitSwitches;
  std::int32_t indexSpacing = 0;  // counts from one index pulse to the next; 0: no index
};

struct MotorConfig {
  // Most significant byte a character, low 24 bits a number ("A1001").
  std::uint32_t serial = (std::uint32_t{'A'} << 24) | 1001;
  std::string firmware = "450";  // version text answered after the '/' of "RSP"
  std::string model = "SV2315D";  // up to 3 prefix letters, a number, a suffix
  std::int32_t resolution = 4000;  // encoder counts per revolution
  std::int32_t samplePeriod = 24576;  // servo sample period in units of 10 ns
  int address = 0;  // 0 = unaddressed
  int baud = 9600;  // rate the wired channel listens at after power-up
  bool hasEeprom = true;
  int channel = 0;  // which of the motor's two channels the line is wired to
  bool echo = true;  // echo of the wired channel after power-up
  std::uint8_t inputs = 0x7F;  // levels of inputs A..G (bit 0 = A); open inputs read 1
  bool driveOn = false;  // motors power up with the drive off
  bool hostMode = true;  // "MD" known
  int hostSlots = 32;  // trajectory buffer of host mode, 1..127
  std::string program;  // image of the plain program stored at power-up; empty: none
  bool autorun = true;  // a stored program runs at power-up
  Mechanics mechanics;
};

}  // namespace velkor::sim
