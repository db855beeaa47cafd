#pragma once
// The motor information block: the motor's identity in its memory, and the
// fixed memory addresses around it. Multi-byte numbers are big-endian.

#include <cstdint>
#include <span>
#include <string>

namespace velkor::engine {

namespace motor_memory {
inline constexpr std::int32_t kSerialNumber = 32256;    // one long
inline constexpr std::int32_t kAssignedAddress = 32262;  // one byte
inline constexpr std::int32_t kInfoBlock = 32468;
inline constexpr std::int32_t kInfoBlockLength = 32470;  // 16 bits
inline constexpr std::int32_t kPlainDownloadRecord = 32548;
inline constexpr std::int32_t kCompiledDownloadRecord = 32582;
inline constexpr std::int32_t kFirstProtected = 32000;  // clients may not write from here on
inline constexpr std::size_t kSize = 32768;             // bytes of EEPROM
}  // namespace motor_memory

namespace info_block {
inline constexpr std::uint16_t kMagic = 0xADB4;
// A length word outside (kShortest, kLongest) means there is no block.
inline constexpr std::uint16_t kShortest = 100;
inline constexpr std::uint16_t kLongest = 300;
inline constexpr std::size_t kModelPrefix = 6;  // 3 characters, 0 = none
inline constexpr std::size_t kModelNumber = 9;
inline constexpr std::size_t kModelSuffix = 13;  // up to 31 characters, NUL-terminated
inline constexpr std::size_t kModelSuffixSize = 31;
inline constexpr std::size_t kSerialNumber = 44;
inline constexpr std::size_t kEncoderResolution = 48;
}  // namespace info_block

// Four bytes most significant first; bytes past the end count as 0.
std::uint32_t BigEndianLong(std::span<const std::uint8_t> bytes, std::size_t offset);

// The last byte is the low 8 bits of the sum of the bytes from offset 4 to
// the one before it.
bool InfoBlockChecksumValid(std::span<const std::uint8_t> block);

// The top byte as a character and the low 24 bits in decimal when that byte
// is printable, else "N/A".
std::string SerialNumberText(std::uint32_t serial);

// Prefix, number and suffix ("SV2315D"); "N/A" when the block names no model.
std::string ModelText(std::span<const std::uint8_t> block);

}  // namespace velkor::engine
