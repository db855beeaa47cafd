#pragma once
// The exact-name lookup behind FindKeyword (keyword_table.h): a flat
// open-addressing table over the keyword names, built at compile time in
// keyword_table.cpp. Inline, because it runs once or twice for most words of
// a program.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velkor::engine::compiler::keyword_lookup {

inline constexpr std::size_t kSlotCount = 1024;
inline constexpr std::uint16_t kEmptySlot = 0xFFFF;
using Slots = std::array<std::uint16_t, kSlotCount>;

extern const Slots kSlots;                        // positions in the keyword table
extern const std::array<bool, 256> kStartsAName;  // by first character
inline constexpr std::size_t kLongestName = 11;   // checked where the table is built

// Reads only the length and four characters.
constexpr std::size_t Hash(std::string_view name) {
  const std::size_t size = name.size();
  const auto at = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(name[i])); };
  constexpr std::uint32_t kPrime = 0x01000193u;
  std::uint32_t hash = static_cast<std::uint32_t>(size);
  hash = (hash * kPrime) ^ at(0);
  hash = (hash * kPrime) ^ at(size - 1);
  if (size > 2) hash = (hash * kPrime) ^ at(1);
  if (size > 3) hash = (hash * kPrime) ^ at(size - 2);
  hash = (hash ^ (hash >> 15)) * 0x2C1B3C6Du;
  return hash >> 22;  // the top ten bits: one of the 1024 slots
}

constexpr std::size_t NextSlot(std::size_t slot) { return (slot + 1) & (kSlotCount - 1); }

// Names are short: a loop beats a call to memcmp.
constexpr bool SameName(std::string_view name, std::string_view word) {
  if (name.size() != word.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] != word[i]) return false;
  }
  return true;
}

}  // namespace velkor::engine::compiler::keyword_lookup
