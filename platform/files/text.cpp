#include "platform/files/text.h"

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

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUnit(std::string& out, char16_t unit, bool bigEndian) {
  const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
  out += bigEndian ? high : low;
  out += bigEndian ? low : high;
}

// The next code point of UTF-8 text; a byte that starts none stands for itself.
char32_t NextCodePoint(std::string_view text, std::size_t& at) {
  const auto byte = static_cast<unsigned char>(text[at++]);
  const int extra = byte >= 0xF0 && byte < 0xF8 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
  if (extra == 0 || byte >= 0xF8 || at + static_cast<std::size_t>(extra) > text.size()) return byte < 0x80 ? byte : kReplacement;
  char32_t c = byte & (0x3F >> extra);
  for (int i = 0; i < extra; ++i) {
    const auto next = static_cast<unsigned char>(text[at]);
    if ((next & 0xC0) != 0x80) return kReplacement;
    c = (c << 6) | (next & 0x3F);
    ++at;
  }
  return c;
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
  std::string out;
  out.reserve(bytes.size() / 2);
  auto unitAt = [&](std::size_t at) -> char16_t {
    const auto first = static_cast<unsigned char>(bytes[at]), second = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  };
  std::size_t at = 2;
  while (at + 1 < bytes.size()) {
    const char16_t unit = unitAt(at);
    at += 2;
    if (unit >= 0xD800 && unit < 0xDC00 && at + 1 < bytes.size() && unitAt(at) >= 0xDC00 && unitAt(at) < 0xE000) {
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (unitAt(at) - 0xDC00));
      at += 2;
    } else {
      AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? kReplacement : unit);
    }
  }
  if (at < bytes.size()) AppendUtf8(out, kReplacement);  // half a unit at the end
  return out;
}

std::string EncodeText(std::string_view utf8, TextEncoding encoding) {
  if (encoding == TextEncoding::Utf8) return std::string(utf8);
  const bool bigEndian = encoding == TextEncoding::Utf16BigEndian;
  std::string out;
  out.reserve(utf8.size() * 2 + 2);
  AppendUnit(out, 0xFEFF, bigEndian);
  for (std::size_t at = 0; at < utf8.size();) {
    const char32_t c = NextCodePoint(utf8, at);
    if (c >= 0x10000 && c < 0x110000) {
      AppendUnit(out, static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)), bigEndian);
      AppendUnit(out, static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)), bigEndian);
    } else {
      AppendUnit(out, static_cast<char16_t>(c < 0x10000 ? c : kReplacement), bigEndian);
    }
  }
  return out;
}

}  // namespace velkor::files
