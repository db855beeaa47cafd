#pragma once
// Small pieces of reading text files that people also edit by hand.

#include <string_view>

namespace velkor::files {

// UTF-8's byte-order mark, which editors on the platform put before the text.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Removes a leading byte-order mark; true when there was one.
bool StripByteOrderMark(std::string_view& text);

// Without leading and trailing blanks (spaces and tabs).
std::string_view Trimmed(std::string_view text);

}  // namespace velkor::files
