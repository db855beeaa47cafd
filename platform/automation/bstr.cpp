#include "velkor/bstr.h"

#include "platform/files/unicode.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// A BSTR points just past a 32-bit byte count and is followed by a NUL.
constexpr std::size_t kPrefix = sizeof(std::uint32_t);

std::uint32_t* PrefixOf(BSTR text) {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(text) - kPrefix);
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  if (length > (std::numeric_limits<std::uint32_t>::max() - kPrefix) / sizeof(OLECHAR) - 1) return nullptr;
  const std::size_t bytes = std::size_t{length} * sizeof(OLECHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
  if (!block) return nullptr;
  const auto byteCount = static_cast<std::uint32_t>(bytes);
  std::memcpy(block, &byteCount, kPrefix);
  auto* result = reinterpret_cast<BSTR>(block + kPrefix);
  if (text) std::memcpy(result, text, bytes);
  else std::memset(result, 0, bytes);
  result[length] = 0;
  return result;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(std::char_traits<OLECHAR>::length(text)));
}

void SysFreeString(BSTR text) {
  if (text) std::free(PrefixOf(text));
}

UINT SysStringByteLen(BSTR text) {
  if (!text) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, PrefixOf(text), kPrefix);
  return bytes;
}

UINT SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(OLECHAR); }

int SysReAllocString(BSTR* text, const OLECHAR* value) {
  if (!text) return 0;
  BSTR replacement = SysAllocString(value);
  if (value && !replacement) return 0;
  SysFreeString(*text);
  *text = replacement;
  return 1;
}

namespace velkor {

std::u16string Utf8ToUtf16(std::string_view text) { return unicode::Utf8ToUtf16(text); }
std::string Utf16ToUtf8(std::u16string_view text) { return unicode::Utf16ToUtf8(text); }

BSTR AllocBstr(std::string_view utf8) {
  std::u16string wide = Utf8ToUtf16(utf8);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

std::string BstrToUtf8(BSTR text) { return Utf16ToUtf8(BstrView(text)); }

}  // namespace velkor
