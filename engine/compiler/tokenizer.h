#pragma once
// Cutting program text into lines and classified tokens.

#include <string_view>

#include "engine/compiler/tokens.h"

namespace velkor::engine::compiler {

// Fills the line array from the text, which must outlive the program.
void SplitLines(std::string_view text, TokenizedProgram& program);

// Cuts one line into tokens, appending label definitions to the label list.
void TokenizeLine(std::uint32_t lineNumber, TokenizedProgram& program);

// Sets the class, entry, value, suffix and label mark of the token of this
// word.
void ClassifyWord(std::string_view word, Token& token);

// True for a label definition: C followed by a decimal suffix.
inline bool IsLabelDefinition(const Token& token) { return token.labelDefinition; }

}  // namespace velkor::engine::compiler
