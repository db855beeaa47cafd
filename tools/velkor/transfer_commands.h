#pragma once
// The client's verbs that move programs between files and motors.

#include <cstdio>
#include <span>
#include <string_view>

namespace velkor::client {

int Download(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);
int Upload(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);
int Clear(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);

}  // namespace velkor::client
