#pragma once
// The client's verbs that find motors and set their addresses.

#include <cstdio>
#include <span>
#include <string_view>

namespace velkor::client {

int Scan(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);
// Connects one network adapter by its address and lists its motor.
int AddNet(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);
int Reorder(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);

}  // namespace velkor::client
