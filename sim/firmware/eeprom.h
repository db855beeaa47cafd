#pragma once
// The motor's 32 KiB non-volatile memory and the factory image that a new
// motor carries: its serial number and its information block.

#include <array>
#include <cstdint>
#include <span>

#include "sim/firmware/motor_config.h"

namespace velkor::sim {

inline constexpr int kEepromSize = 32768;
inline constexpr int kSerialNumberAddress = 32256;
inline constexpr int kAssignedAddressByte = 32262;
inline constexpr int kInfoBlockAddress = 32468;
inline constexpr std::uint16_t kInfoBlockMagic = 0xADB4;
inline constexpr int kInfoBlockLength = 149;  // two download records and the checksum

class Eeprom {
 public:
  Eeprom();  // erased: every byte 0xFF

  // Accesses that do not fit the memory are refused whole (false).
  bool Read(int address, std::span<std::uint8_t> out) const;
  bool Write(int address, std::span<const std::uint8_t> bytes);

  // Outside the memory reads as erased.
  std::uint8_t Byte(int address) const {
    return (address >= 0 && address < kEepromSize) ? bytes_[static_cast<std::size_t>(address)] : 0xFF;
  }

 private:
  std::array<std::uint8_t, kEepromSize> bytes_;
};

// Serial number at 32256 and the information block at 32468 with magic,
// length, model, serial number, encoder resolution, empty download records
// and the checksum over offsets 4..L-2.
void WriteFactoryImage(const MotorConfig& config, Eeprom& memory);

struct ModelParts {
  std::array<char, 3> prefix{};  // NUL where there is no letter
  std::uint32_t number = 0;
  std::array<char, 31> suffix{};  // NUL-terminated
};
// "SV2315D" -> prefix "SV", number 2315, suffix "D".
ModelParts SplitModel(const std::string& model);

}  // namespace velkor::sim
