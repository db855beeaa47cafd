#pragma once
// velkor compile: a motor program to its image, with the diagnostics in the
// form editors jump to.

#include <cstdio>
#include <span>
#include <string_view>

namespace velkor::client {

// Exit status: 0 the image was written, 1 the program has errors, 2 a file
// could not be read or written, the usage was wrong or the engine failed.
int Compile(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);

}  // namespace velkor::client
