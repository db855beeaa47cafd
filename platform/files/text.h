#pragma once
// Small pieces of reading text files that people also edit by hand.

#include <string>
#include <string_view>

namespace velkor::files {

// UTF-8's byte-order mark, which editors on the platform put before the text.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Removes a leading byte-order mark; true when there was one.
bool StripByteOrderMark(std::string_view& text);

// Without leading and trailing blanks (spaces and tabs).
std::string_view Trimmed(std::string_view text);

// How a text file is encoded, by its byte-order mark: the platform's editors
// write UTF-16 (little-endian, as its registry editor exports) besides UTF-8.
enum class TextEncoding { Utf8, Utf16LittleEndian, Utf16BigEndian };
TextEncoding EncodingOf(std::string_view bytes);

// The text as UTF-8, its byte-order mark dropped. Broken UTF-16 (an odd
// length, a lone surrogate) becomes U+FFFD where it breaks.
std::string DecodeText(std::string_view bytes);
// UTF-8 text in `encoding`, with the byte-order mark for UTF-16.
std::string EncodeText(std::string_view utf8, TextEncoding encoding);

}  // namespace velkor::files
