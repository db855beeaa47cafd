#include "engine/motor/info_block.h"

#include <algorithm>

namespace velkor::engine {

std::uint32_t BigEndianLong(std::span<const std::uint8_t> bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t at = offset + i;
    value = (value << 8) | (at < bytes.size() ? bytes[at] : 0u);
  }
  return value;
}

bool InfoBlockChecksumValid(std::span<const std::uint8_t> block) {
  if (block.size() < 5) return false;
  unsigned sum = 0;
  for (std::size_t i = 4; i + 1 < block.size(); ++i) sum += block[i];
  return static_cast<std::uint8_t>(sum) == block.back();
}

std::string SerialNumberText(std::uint32_t serial) {
  const auto top = static_cast<unsigned char>(serial >> 24);
  if (top < 0x20 || top > 0x7E) return "N/A";
  return std::string(1, static_cast<char>(top)) + std::to_string(serial & 0xFFFFFFu);
}

std::string ModelText(std::span<const std::uint8_t> block) {
  using namespace info_block;
  if (block.size() <= kModelSuffix || block[kModelPrefix] == 0) return "N/A";
  std::string text = std::to_string(BigEndianLong(block, kModelNumber));
  const std::size_t suffixEnd = std::min(block.size(), kModelSuffix + kModelSuffixSize);
  for (std::size_t i = kModelSuffix; i < suffixEnd && block[i] != 0; ++i) text.push_back(static_cast<char>(block[i]));
  for (std::size_t i = 0; i < 3; ++i) {
    const std::uint8_t prefix = block[kModelPrefix + i];
    if (prefix != 0) text.insert(std::min(i, text.size()), 1, static_cast<char>(prefix));
  }
  return text;
}

}  // namespace velkor::engine
