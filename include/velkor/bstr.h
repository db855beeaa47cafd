#pragma once
// Automation strings: length-prefixed, NUL-terminated UTF-16. A null BSTR is
// an empty string; embedded NULs are allowed and counted by SysStringLen.

#include <string>
#include <string_view>
#include <utility>

#include "velkor/automation_types.h"

BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);  // text may be null: uninitialised room
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);
int SysReAllocString(BSTR* text, const OLECHAR* value);

namespace velkor {

// UTF-8 <-> UTF-16. Invalid input is replaced by U+FFFD rather than dropped,
// so lengths stay honest about what arrived.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

BSTR AllocBstr(std::string_view utf8);
std::string BstrToUtf8(BSTR text);
inline std::u16string_view BstrView(BSTR text) { return text ? std::u16string_view(text, SysStringLen(text)) : std::u16string_view(); }

// Owns one BSTR; the shape clients use for [in] and [out] strings.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8) : text_(AllocBstr(utf8)) {}
  explicit Bstr(std::u16string_view text) : text_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Bstr(const Bstr& other) : text_(other.text_ ? SysAllocStringLen(other.text_, SysStringLen(other.text_)) : nullptr) {}
  Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
  Bstr& operator=(Bstr other) noexcept {
    std::swap(text_, other.text_);
    return *this;
  }
  ~Bstr() { SysFreeString(text_); }

  static Bstr Attach(BSTR text) {
    Bstr owned;
    owned.text_ = text;
    return owned;
  }
  BSTR Detach() { return std::exchange(text_, nullptr); }
  BSTR get() const { return text_; }
  // For an [out] argument: frees what is held and hands out the slot.
  BSTR* Out() {
    SysFreeString(std::exchange(text_, nullptr));
    return &text_;
  }
  UINT size() const { return SysStringLen(text_); }
  bool empty() const { return size() == 0; }
  std::string Utf8() const { return BstrToUtf8(text_); }
  std::u16string_view View() const { return BstrView(text_); }

 private:
  BSTR text_ = nullptr;
};

}  // namespace velkor
