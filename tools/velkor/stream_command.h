#pragma once
// velkor stream: a table of timed samples (as velkor path prints it) sent to
// the motors in host mode.

#include <cstdio>
#include <span>
#include <string_view>

namespace velkor::client {

int Stream(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);

}  // namespace velkor::client
