#pragma once
// Checks a tokenized program statement by statement against the keyword
// table, links its structures and jumps, and records its diagnostics.

#include "engine/compiler/diagnostics.h"
#include "engine/compiler/tokens.h"

namespace velkor::engine::compiler {

// Runs over every token and fills `errors`. Leaves the structure and jump
// links and the statement marks in the tokens for the image writer.
void Parse(TokenizedProgram& program, ErrorList& errors);

// The highest label number whose label table (slots in fours) still fits the
// four hexadecimal digits of the image header.
inline constexpr std::int32_t kHighestLabelNumber = 0xFFFF - 4;

}  // namespace velkor::engine::compiler
