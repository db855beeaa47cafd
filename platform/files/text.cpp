#include "platform/files/text.h"

#include "platform/files/unicode.h"

namespace velkor::files {

bool StripByteOrderMark(std::string_view& text) {
  if (text.substr(0, kByteOrderMark.size()) != kByteOrderMark) return false;
  text.remove_prefix(kByteOrderMark.size());
  return true;
}

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

namespace {

void AppendUnit(std::string& out, char16_t unit, bool bigEndian) {
  const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
  out += bigEndian ? high : low;
  out += bigEndian ? low : high;
}

}  // namespace

TextEncoding EncodingOf(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) return TextEncoding::Utf16LittleEndian;
  if (bytes.starts_with("\xFE\xFF")) return TextEncoding::Utf16BigEndian;
  return TextEncoding::Utf8;
}

std::string DecodeText(std::string_view bytes) {
  const TextEncoding encoding = EncodingOf(bytes);
  if (encoding == TextEncoding::Utf8) {
    StripByteOrderMark(bytes);
    return std::string(bytes);
  }
  const bool bigEndian = encoding == TextEncoding::Utf16BigEndian;
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t at = 2; at + 1 < bytes.size(); at += 2) {
    const auto first = static_cast<unsigned char>(bytes[at]), second = static_cast<unsigned char>(bytes[at + 1]);
    units += static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  if (bytes.size() % 2 != 0) units += u'\uFFFD';  // half a unit at the end
  return unicode::Utf16ToUtf8(units);
}

std::string EncodeText(std::string_view utf8, TextEncoding encoding) {
  if (encoding == TextEncoding::Utf8) return std::string(utf8);
  const bool bigEndian = encoding == TextEncoding::Utf16BigEndian;
  std::string out;
  out.reserve(utf8.size() * 2 + 2);
  AppendUnit(out, 0xFEFF, bigEndian);
  for (char16_t unit : unicode::Utf8ToUtf16(utf8)) AppendUnit(out, unit, bigEndian);
  return out;
}

}  // namespace velkor::files
