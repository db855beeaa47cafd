#include <string>

#include "fuzz/input_checks.h"
#include "platform/files/text.h"
#include "platform/registry/registry.h"

namespace velkor::fuzz {
namespace {

// UTF-16 carries text, not bytes: only valid UTF-8 can make the way there
// and back unchanged.
bool ValidUtf8(std::string_view text) {
  constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const std::size_t length = byte < 0x80          ? 1
                               : (byte >> 5) == 6  ? 2
                               : (byte >> 4) == 14 ? 3
                               : (byte >> 3) == 30 ? 4
                                                   : 0;
    if (length == 0 || at + length > text.size()) return false;
    char32_t c = length == 1 ? byte : byte & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    if (c < kShortest[length] || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) return false;
    at += length;
  }
  return true;
}

}  // namespace

Violations CheckRegistryText(std::span<const std::uint8_t> bytes) {
  Violations violations;
  const std::string raw(bytes.begin(), bytes.end());
  const std::string text = files::DecodeText(raw);
  const auto first = registry::HiveContents::Parse(text, "HKEY_CURRENT_USER");
  const std::string written = first.Format("HKEY_CURRENT_USER");
  const std::string again = registry::HiveContents::Parse(written, "HKEY_CURRENT_USER").Format("HKEY_CURRENT_USER");
  if (again != written) violations.push_back("a hive read back from its own text differs");
  if (!registry::IsHiveText(written)) violations.push_back("a written hive is not taken for an export");
  // The encodings carry the text unchanged there and back.
  for (auto encoding : {files::TextEncoding::Utf16LittleEndian, files::TextEncoding::Utf16BigEndian}) {
    if (ValidUtf8(written) && files::DecodeText(files::EncodeText(written, encoding)) != written)
      violations.push_back("a hive's text changes through UTF-16");
  }
  return violations;
}

}  // namespace velkor::fuzz
