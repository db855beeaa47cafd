#pragma once
// The client's verbs that talk to motors.

#include <cstdio>
#include <span>
#include <string_view>

namespace velkor::client {

int Send(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);
int Info(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);
int Memory(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);

}  // namespace velkor::client
