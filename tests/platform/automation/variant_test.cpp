#include <gtest/gtest.h>

#include "velkor/automation.h"

using velkor::Variant;

namespace {
Variant Long(LONG value) {
  Variant v;
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}
Variant Text(const char* text) {
  Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = velkor::AllocBstr(text);
  return v;
}
HRESULT Convert(const Variant& in, VARTYPE type, Variant& out) { return VariantChangeType(&out, &in, 0, type); }
}  // namespace

TEST(VariantChangeType, ConvertsNumbersTextAndBooleans) {
  Variant out;
  ASSERT_EQ(Convert(Text(" -42 "), VT_I4, out), S_OK);
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, -42);

  ASSERT_EQ(Convert(Long(9600), VT_BSTR, out), S_OK);
  EXPECT_EQ(velkor::BstrToUtf8(out.bstrVal), "9600");

  ASSERT_EQ(Convert(Text("2.5"), VT_R8, out), S_OK);
  EXPECT_DOUBLE_EQ(out.dblVal, 2.5);

  Variant real;
  real.vt = VT_R8;
  real.dblVal = 2.5;
  ASSERT_EQ(VariantChangeType(&out, &real, 0, VT_I4), S_OK);
  EXPECT_EQ(out.lVal, 2) << "half to even";
  real.dblVal = 3.5;
  ASSERT_EQ(VariantChangeType(&out, &real, 0, VT_I4), S_OK);
  EXPECT_EQ(out.lVal, 4);

  ASSERT_EQ(Convert(Long(5), VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  ASSERT_EQ(Convert(Text("False"), VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
}

TEST(VariantChangeType, RefusesWhatDoesNotFit) {
  Variant out;
  EXPECT_EQ(Convert(Long(300), VT_UI1, out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(Long(-1), VT_UI4, out), DISP_E_OVERFLOW);
  EXPECT_EQ(Convert(Text("12abc"), VT_I4, out), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Convert(Text("99999999999"), VT_I4, out), DISP_E_OVERFLOW);
  Variant null;
  null.vt = VT_NULL;
  EXPECT_EQ(VariantChangeType(&out, &null, 0, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(out.vt, VT_EMPTY) << "a failed conversion leaves the destination alone";
}

TEST(Variant, CopyDuplicatesOwnedValues) {
  Variant original = Text("RSP");
  Variant copy = original;
  EXPECT_NE(copy.bstrVal, original.bstrVal);
  EXPECT_EQ(velkor::BstrToUtf8(copy.bstrVal), "RSP");

  Variant array;
  array.vt = VT_ARRAY | VT_R8;
  array.parray = SafeArrayCreateVector(VT_R8, 1, 3);
  Variant arrayCopy = array;
  EXPECT_NE(arrayCopy.parray, array.parray);
  LONG upper = 0;
  SafeArrayGetUBound(arrayCopy.parray, 1, &upper);
  EXPECT_EQ(upper, 3);
}
