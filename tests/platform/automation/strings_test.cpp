#include <gtest/gtest.h>

#include <cstring>

#include "velkor/automation.h"

using velkor::Bstr;

TEST(Bstr, NullIsEmptyAndLengthIsPrefixed) {
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(velkor::BstrToUtf8(nullptr), "");

  const char16_t withNul[] = {u'a', 0, u'b'};
  BSTR text = SysAllocStringLen(withNul, 3);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(SysStringByteLen(text), 6u);
  EXPECT_EQ(text[3], 0) << "always NUL-terminated";
  EXPECT_EQ(velkor::BstrToUtf8(text), std::string("a\0b", 3));
  // The length prefix sits right before the characters, as clients may read it.
  std::uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<unsigned char*>(text) - 4, 4);
  EXPECT_EQ(prefix, 6u);
  SysFreeString(text);
  SysFreeString(nullptr);
}

TEST(Bstr, SysAllocStringStopsAtNulAndReallocReplaces) {
  BSTR text = SysAllocString(u"Com1");
  EXPECT_EQ(SysStringLen(text), 4u);
  EXPECT_EQ(SysReAllocString(&text, u"COM12"), 1);
  EXPECT_EQ(velkor::BstrToUtf8(text), "COM12");
  SysFreeString(text);
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
}

TEST(Utf8, RoundTripsAllPlanesAndReplacesInvalidInput) {
  const std::string text = "Motor \xC2\xB5m \xE2\x82\xAC \xF0\x9F\x94\xA7";
  EXPECT_EQ(velkor::Utf16ToUtf8(velkor::Utf8ToUtf16(text)), text);
  EXPECT_EQ(velkor::Utf8ToUtf16("\xF0\x9F\x94\xA7").size(), 2u) << "a surrogate pair";
  // Truncated sequence, stray continuation byte, overlong form, lone surrogate.
  EXPECT_EQ(velkor::Utf8ToUtf16("a\xE2\x82"), u"a\uFFFD\uFFFD");
  EXPECT_EQ(velkor::Utf8ToUtf16("\x80"), u"\uFFFD");
  EXPECT_EQ(velkor::Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
  EXPECT_EQ(velkor::Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Bstr, OwnerCopiesMovesAndHandsOutSlots) {
  Bstr a("RPA");
  Bstr b = a;
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(b.Utf8(), "RPA");
  Bstr c = std::move(a);
  EXPECT_EQ(a.get(), nullptr);
  *c.Out() = SysAllocString(u"new");  // the old text is freed, no leak
  EXPECT_EQ(c.Utf8(), "new");
  BSTR detached = c.Detach();
  EXPECT_EQ(c.get(), nullptr);
  SysFreeString(detached);
}

TEST(Guid, ParsesAndFormatsThePlatformForm) {
  constexpr GUID host = velkor::GuidLiteral("{5A3E71CA-4D2B-11D4-9C1E-0040A1B2C3D4}");
  static_assert(host.Data1 == 0x5A3E71CA && host.Data2 == 0x4D2B && host.Data4[7] == 0xD4);
  EXPECT_EQ(velkor::FormatGuid(host), "{5A3E71CA-4D2B-11D4-9C1E-0040A1B2C3D4}");
  EXPECT_EQ(velkor::ParseGuid("{5a3e71ca-4d2b-11d4-9c1e-0040a1b2c3d4}"), host);
  for (const char* bad : {"5A3E71CA-4D2B-11D4-9C1E-0040A1B2C3D4", "{5A3E71CA-4D2B-11D4-9C1E-0040A1B2C3DG}",
                          "{5A3E71CA+4D2B-11D4-9C1E-0040A1B2C3D4}", "{}", ""})
    EXPECT_FALSE(velkor::ParseGuid(bad)) << bad;

  CLSID parsed;
  EXPECT_EQ(CLSIDFromString(u"{5A3E71CA-4D2B-11D4-9C1E-0040A1B2C3D4}", &parsed), S_OK);
  EXPECT_EQ(parsed, host);
  EXPECT_EQ(CLSIDFromString(u"VNXEngine.VNXHost", &parsed), CO_E_CLASSSTRING);
  OLECHAR buffer[39];
  EXPECT_EQ(StringFromGUID2(host, buffer, 39), 39);
  EXPECT_EQ(StringFromGUID2(host, buffer, 38), 0) << "too small a buffer is refused, not overrun";
}
