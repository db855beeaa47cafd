#pragma once
// The engine's version, read back from the product version the build stamps
// into the library.

#include <cstdint>
#include <string_view>

namespace velkor::engine {

// "a, b, c, d" as the build wrote it.
std::string_view ProductVersion();

// (a << 24) + (b << 16) + (c << 8) + d for a text of exactly 10 characters
// (one digit each), else 0.
std::int32_t EngineVersionFrom(std::string_view productVersion);

}  // namespace velkor::engine
