#pragma once
// The compiled program image: a header, the label table and the body as the
// motor stores it, with structure keywords and jumps lowered to templates
// that carry absolute body addresses.

#include <string>

#include "engine/compiler/tokens.h"

namespace velkor::engine::compiler {

// Gives every token its body address and replaces `out` with the whole
// image, keeping its memory. Call only on a program that parsed without
// errors.
void WriteImage(TokenizedProgram& program, std::string& out);

inline constexpr int kImageVersion = 4000;

}  // namespace velkor::engine::compiler
