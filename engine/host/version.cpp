#include "engine/host/version.h"

namespace velkor::engine {

std::int32_t EngineVersionFrom(std::string_view text) {
  if (text.size() != 10) return 0;
  auto digit = [&](std::size_t at) { return static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[at] - '0')); };
  return static_cast<std::int32_t>((digit(0) << 24) + (digit(3) << 16) + (digit(6) << 8) + digit(9));
}

}  // namespace velkor::engine
