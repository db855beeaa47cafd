#include <gtest/gtest.h>

#include "velkor/automation.h"

TEST(SafeArray, TwoDimensionsWithLowerBoundsFirstIndexFastest) {
  // Like a table of samples: 3 values per sample, 4 samples, both from 1.
  SAFEARRAYBOUND bounds[2] = {{3, 1}, {4, 1}};
  SAFEARRAY* array = SafeArrayCreate(VT_R8, 2, bounds);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(SafeArrayGetDim(array), 2u);
  LONG lower = 0, upper = 0;
  SafeArrayGetLBound(array, 2, &lower);
  SafeArrayGetUBound(array, 2, &upper);
  EXPECT_EQ(lower, 1);
  EXPECT_EQ(upper, 4);
  SafeArrayGetUBound(array, 1, &upper);
  EXPECT_EQ(upper, 3);
  EXPECT_EQ(array->rgsabound[0].cElements, 4u) << "stored last dimension first";

  for (LONG sample = 1; sample <= 4; ++sample)
    for (LONG value = 1; value <= 3; ++value) {
      LONG at[2] = {value, sample};
      double number = sample * 10 + value;
      ASSERT_EQ(SafeArrayPutElement(array, at, &number), S_OK);
    }
  double* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(array, reinterpret_cast<void**>(&data)), S_OK);
  EXPECT_DOUBLE_EQ(data[0], 11);
  EXPECT_DOUBLE_EQ(data[1], 12);
  EXPECT_DOUBLE_EQ(data[3], 21) << "the second sample follows the first";
  EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
  SafeArrayUnaccessData(array);

  LONG outside[2] = {4, 1};
  double number = 0;
  EXPECT_EQ(SafeArrayGetElement(array, outside, &number), DISP_E_BADINDEX);
  LONG below[2] = {0, 1};
  EXPECT_EQ(SafeArrayPutElement(array, below, &number), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetLBound(array, 3, &lower), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(SafeArray, StringAndVariantElementsAreOwnedByTheArray) {
  SAFEARRAY* strings = SafeArrayCreateVector(VT_BSTR, 0, 2);
  velkor::Bstr text("ECHO");
  LONG index = 1;
  ASSERT_EQ(SafeArrayPutElement(strings, &index, text.get()), S_OK);
  BSTR got = nullptr;
  ASSERT_EQ(SafeArrayGetElement(strings, &index, &got), S_OK);
  EXPECT_NE(got, text.get()) << "both put and get copy";
  EXPECT_EQ(velkor::BstrToUtf8(got), "ECHO");
  SysFreeString(got);
  VARTYPE type;
  SafeArrayGetVartype(strings, &type);
  EXPECT_EQ(type, VT_BSTR);
  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(strings, &copy), S_OK);
  SafeArrayDestroy(strings);  // the copy keeps its own strings
  ASSERT_EQ(SafeArrayGetElement(copy, &index, &got), S_OK);
  EXPECT_EQ(velkor::BstrToUtf8(got), "ECHO");
  SysFreeString(got);
  SafeArrayDestroy(copy);

  SAFEARRAY* variants = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  velkor::Variant value;
  value.vt = VT_BSTR;
  value.bstrVal = velkor::AllocBstr("x");
  index = 0;
  ASSERT_EQ(SafeArrayPutElement(variants, &index, &value), S_OK);
  SafeArrayDestroy(variants);  // frees its copy of the string (the sanitizer checks)
}

TEST(SafeArray, RefusesImpossibleShapes) {
  SAFEARRAYBOUND bound{1, 0};
  EXPECT_EQ(SafeArrayCreate(VT_R8, 0, &bound), nullptr);
  EXPECT_EQ(SafeArrayCreate(0x7F, 1, &bound), nullptr);
  SAFEARRAYBOUND huge[2] = {{0xFFFFFFFFu, 0}, {0xFFFFFFFFu, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_R8, 2, huge), nullptr);
  SAFEARRAY* empty = SafeArrayCreateVector(VT_R8, 1, 0);
  ASSERT_NE(empty, nullptr);
  LONG upper = 5;
  SafeArrayGetUBound(empty, 1, &upper);
  EXPECT_EQ(upper, 0) << "upper bound of an empty vector is lower - 1";
  SafeArrayDestroy(empty);
}
