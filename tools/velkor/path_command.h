#pragma once
// velkor path: the timed samples of a length, a line or an arc as CSV, for
// plotting or for velkor stream.

#include <cstdio>
#include <span>
#include <string_view>

namespace velkor::client {

// Exit status: 0 printed, 1 the engine cannot be loaded, 2 the engine
// refused the path or the usage was wrong.
int Path(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);

}  // namespace velkor::client
