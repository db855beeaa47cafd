#pragma once
// Numbers in the motors' answers: signed decimal text.

#include <cstdint>
#include <string>
#include <string_view>

namespace velkor::engine {

// Leading blanks skipped, an optional sign, digits up to the first other
// character; no digits give 0. Wraps to 32 bits as the motors' own
// arithmetic does.
std::int32_t AnswerNumber(std::string_view text);

// The blanks at both ends removed.
std::string_view TrimBlanks(std::string_view text);

}  // namespace velkor::engine
