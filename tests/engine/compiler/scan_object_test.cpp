#include <gtest/gtest.h>

#include "engine/host/scan_object.h"
#include "tests/support/engine_failure.h"
#include "velkor/automation.h"

using velkor::ComPtr;

namespace {
ComPtr<IVNXErrors> NewErrorList() {
  ComPtr<IVNXScan> scan = ComPtr<IVNXScan>::Attach(velkor::engine::MakeObject<velkor::engine::CVNXScan>());
  ComPtr<IVNXErrors> errors;
  EXPECT_EQ(scan.As(IID_IVNXErrors, errors), S_OK);
  return errors;
}
}  // namespace

TEST(ErrorList, EmptyBeforeAnyRun) {
  ComPtr<IVNXErrors> errors = NewErrorList();
  LONG count = -1;
  EXPECT_EQ(errors->get_NoOfErrors(&count), S_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(errors->get_NoOfWarnings(&count), S_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(errors->GoFirst(), S_OK);
  EXPECT_EQ(errors->get_Code(&count), E_FAIL);
  auto failure = velkor::testing::TakeFailure();
  EXPECT_EQ(failure.description, "No more errors/warnings!");
  EXPECT_EQ(failure.helpContext, 33u);
  EXPECT_EQ(errors->GoNext(), E_FAIL);
  velkor::Bstr description;
  EXPECT_EQ(errors->get_Description(description.Out()), E_FAIL);
  EXPECT_EQ(errors->get_Line(nullptr), E_POINTER);
}

TEST(ErrorList, MaximaBelowOneAreRefusedAndTheOldValueKept) {
  ComPtr<IVNXErrors> errors = NewErrorList();
  LONG value = 0;
  errors->get_MaxErrors(&value);
  EXPECT_EQ(value, 50);
  EXPECT_EQ(errors->put_MaxErrors(0), E_FAIL);
  auto failure = velkor::testing::TakeFailure();
  EXPECT_EQ(failure.description, "Invalid Data!");
  EXPECT_EQ(failure.helpContext, 19u);
  errors->get_MaxErrors(&value);
  EXPECT_EQ(value, 50);
  EXPECT_EQ(errors->put_MaxWarnings(1), S_OK);
  errors->get_MaxWarnings(&value);
  EXPECT_EQ(value, 1);

  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(errors.As(IID_ISupportErrorInfo, support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVNXErrors), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVNXScan), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVNXComm), S_FALSE);
}
