#pragma once
// GUID text form "{8-4-4-4-12}", parsed and formatted the platform's way
// (formatting uses upper-case hex; parsing accepts either case).

#include <optional>
#include <string>
#include <string_view>

#include "velkor/automation_types.h"

namespace velkor {

namespace detail {
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
constexpr bool ReadHex(std::string_view text, std::size_t at, std::size_t digits, std::uint64_t& value) {
  value = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    int d = HexDigit(text[at + i]);
    if (d < 0) return false;
    value = value * 16 + static_cast<unsigned>(d);
  }
  return true;
}
}  // namespace detail

// Accepts exactly "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
constexpr std::optional<GUID> ParseGuid(std::string_view text) {
  if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
      text[19] != '-' || text[24] != '-')
    return std::nullopt;
  GUID guid{};
  std::uint64_t v = 0;
  if (!detail::ReadHex(text, 1, 8, v)) return std::nullopt;
  guid.Data1 = static_cast<std::uint32_t>(v);
  if (!detail::ReadHex(text, 10, 4, v)) return std::nullopt;
  guid.Data2 = static_cast<std::uint16_t>(v);
  if (!detail::ReadHex(text, 15, 4, v)) return std::nullopt;
  guid.Data3 = static_cast<std::uint16_t>(v);
  constexpr std::size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!detail::ReadHex(text, kByteAt[i], 2, v)) return std::nullopt;
    guid.Data4[i] = static_cast<std::uint8_t>(v);
  }
  return guid;
}

// For identifiers written in the source: a malformed literal fails to compile.
consteval GUID GuidLiteral(std::string_view text) {
  auto guid = ParseGuid(text);
  if (!guid) throw "malformed GUID literal";
  return *guid;
}

std::string FormatGuid(const GUID& guid);

}  // namespace velkor

// The platform's entry points for the same conversions.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int capacity);
