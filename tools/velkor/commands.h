#pragma once
// The command-line client's verbs, kept apart from main so that tests can
// run them in-process.

#include <cstdio>
#include <span>
#include <string_view>

namespace velkor::client {

// Exit status: 0 done, 1 the engine or the system failed, 2 bad usage.
int Run(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);

}  // namespace velkor::client
