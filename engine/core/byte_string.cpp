#include "engine/core/byte_string.h"

#include "engine/core/errors.h"
#include "velkor/bstr.h"

namespace velkor::engine {

std::string BytesOf(BSTR text) {
  std::string bytes;
  bytes.reserve(SysStringLen(text));
  for (char16_t unit : BstrView(text)) {
    if (unit > 0xFF) throw CVNXException(ErrorCode::InvalidData);
    bytes += static_cast<char>(unit);
  }
  return bytes;
}

BSTR StringOf(std::string_view bytes) {
  std::u16string units(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) units[i] = static_cast<std::uint8_t>(bytes[i]);
  BSTR text = SysAllocStringLen(units.data(), static_cast<UINT>(units.size()));
  if (!text) throw CVNXException(ErrorCode::OutOfMemory);
  return text;
}

}  // namespace velkor::engine
