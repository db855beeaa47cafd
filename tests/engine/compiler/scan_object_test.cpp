#include <gtest/gtest.h>

#include "engine/compiler/scan_object.h"
#include "tests/engine/compiler/compile_helpers.h"
#include "tests/support/engine_failure.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"

using velkor::ComPtr;

namespace {

struct ScanObject {
  ComPtr<IVNXScan> scan = ComPtr<IVNXScan>::Attach(velkor::engine::MakeObject<velkor::engine::CVNXScan>());
  ComPtr<IVNXErrors> errors;
  ScanObject() { EXPECT_EQ(scan.As(IID_IVNXErrors, errors), S_OK); }

  LONG Get(HRESULT (IVNXErrors::*property)(LONG*)) {
    LONG value = -99;
    EXPECT_EQ(((*errors.get()).*property)(&value), S_OK);
    return value;
  }
  HRESULT Scan(const std::string& program) { return scan->Scan(velkor::Bstr(program).get()); }
};

unsigned FailureCode() { return velkor::testing::TakeFailure().helpContext; }

}  // namespace

TEST(ErrorList, EmptyBeforeAnyRun) {
  ScanObject object;
  EXPECT_EQ(object.Get(&IVNXErrors::get_NoOfErrors), 0);
  EXPECT_EQ(object.Get(&IVNXErrors::get_NoOfWarnings), 0);
  EXPECT_EQ(object.errors->GoFirst(), S_OK);
  LONG code = 0;
  EXPECT_EQ(object.errors->get_Code(&code), E_FAIL);
  const auto failure = velkor::testing::TakeFailure();
  EXPECT_EQ(failure.description, "No more errors/warnings!");
  EXPECT_EQ(failure.helpContext, 33u);
  EXPECT_EQ(object.errors->GoNext(), E_FAIL);
  velkor::Bstr description;
  EXPECT_EQ(object.errors->get_Description(description.Out()), E_FAIL);
  EXPECT_EQ(object.errors->get_Line(nullptr), E_POINTER);
}

TEST(ErrorList, MaximaBelowOneAreRefusedAndTheOldValueKept) {
  ScanObject object;
  EXPECT_EQ(object.errors->put_MaxErrors(0), E_FAIL);
  const auto failure = velkor::testing::TakeFailure();
  EXPECT_EQ(failure.description, "Invalid Data!");
  EXPECT_EQ(failure.helpContext, 19u);
  EXPECT_EQ(object.Get(&IVNXErrors::get_MaxErrors), 50);
  EXPECT_EQ(object.errors->put_MaxWarnings(1), S_OK);
  EXPECT_EQ(object.Get(&IVNXErrors::get_MaxWarnings), 1);

  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(object.errors.As(IID_ISupportErrorInfo, support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVNXErrors), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVNXScan), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVNXComm), S_FALSE);
}

TEST(ScanObject, WalksTheRecordsOfTheLastRun) {
  ScanObject object;
  ASSERT_EQ(object.Scan("KP=40000\nxyz\nEND"), S_OK);
  EXPECT_EQ(object.Get(&IVNXErrors::get_NoOfErrors), 1);
  EXPECT_EQ(object.Get(&IVNXErrors::get_NoOfWarnings), 1);
  EXPECT_EQ(object.Get(&IVNXErrors::get_Code), 118);
  EXPECT_EQ(object.Get(&IVNXErrors::get_Line), 0);
  EXPECT_EQ(object.Get(&IVNXErrors::get_Column), 3);
  EXPECT_EQ(object.Get(&IVNXErrors::get_IsWarning), 1);
  velkor::Bstr description;
  ASSERT_EQ(object.errors->get_Description(description.Out()), S_OK);
  EXPECT_EQ(description.Utf8(), "Constant out of range. (0 .. 32767).");

  ASSERT_EQ(object.errors->GoNext(), S_OK);
  EXPECT_EQ(object.Get(&IVNXErrors::get_Code), 20);
  EXPECT_EQ(object.Get(&IVNXErrors::get_Line), 1);
  EXPECT_EQ(object.Get(&IVNXErrors::get_IsWarning), 0);

  // Past the end the cursor stays advanced and every record property fails.
  EXPECT_EQ(object.errors->GoNext(), E_FAIL);
  EXPECT_EQ(FailureCode(), 33u);
  EXPECT_EQ(object.errors->get_Description(description.Out()), E_FAIL);
  EXPECT_EQ(FailureCode(), 33u);
  EXPECT_EQ(object.errors->GoFirst(), S_OK);
  EXPECT_EQ(object.Get(&IVNXErrors::get_Code), 118);

  // A new run starts at its first record; a null program changes nothing.
  ASSERT_EQ(object.errors->GoNext(), S_OK);
  ASSERT_EQ(object.Scan("END"), S_OK);
  LONG code = 0;
  EXPECT_EQ(object.errors->get_Code(&code), E_FAIL);
  EXPECT_EQ(FailureCode(), 33u);
  ASSERT_EQ(object.Scan("xyz\nEND"), S_OK);
  EXPECT_EQ(object.scan->Scan(nullptr), S_OK);
  EXPECT_EQ(object.Get(&IVNXErrors::get_NoOfErrors), 1);
}

TEST(ScanObject, CountsTheLimitRecordAsAnError) {
  ScanObject object;
  ASSERT_EQ(object.errors->put_MaxWarnings(1), S_OK);
  ASSERT_EQ(object.Scan("KP=40000\nEND"), S_OK);
  EXPECT_EQ(object.Get(&IVNXErrors::get_NoOfErrors), 1);
  EXPECT_EQ(object.Get(&IVNXErrors::get_NoOfWarnings), 1);
  ASSERT_EQ(object.errors->GoNext(), S_OK);
  EXPECT_EQ(object.Get(&IVNXErrors::get_Code), 22);
  EXPECT_EQ(object.Get(&IVNXErrors::get_Line), -1);
  EXPECT_EQ(object.Get(&IVNXErrors::get_Column), -1);
  EXPECT_EQ(object.errors->GoNext(), E_FAIL);
}

TEST(ScanObject, WritesTheImageOnlyWithoutErrors) {
  velkor::testing::TemporaryFolder folder;
  ScanObject object;
  const auto source = folder.path() / "prog.src";
  const auto image = folder.path() / "prog.vqx";
  LONG written = -1;

  velkor::testing::WriteFile(source, "KP=40000\nEND\n");  // a warning only
  ASSERT_EQ(object.scan->MakeVQX(velkor::Bstr(source.string()).get(), &written), S_OK);
  EXPECT_EQ(written, 1);
  EXPECT_EQ(velkor::testing::ReadFile(image).substr(0, 5), "$4000");
  const std::string firstImage = velkor::testing::ReadFile(image);

  velkor::testing::WriteFile(source, "KP=1\n");  // END missing
  ASSERT_EQ(object.scan->MakeVQX(velkor::Bstr(source.string()).get(), &written), S_OK);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(velkor::testing::ReadFile(image), firstImage);  // the older image stays

  object.errors->put_MaxWarnings(1);
  velkor::testing::WriteFile(source, "KP=40000\nEND\n");
  ASSERT_EQ(object.scan->MakeVQX(velkor::Bstr(source.string()).get(), &written), S_OK);
  EXPECT_EQ(written, 0);

  const auto other = folder.path() / "other.bin";
  velkor::testing::WriteFile(source, "END");
  ASSERT_EQ(object.scan->MakeVQX2(velkor::Bstr(source.string()).get(), velkor::Bstr(other.string()).get(), &written),
            S_OK);
  EXPECT_EQ(written, 1);
  EXPECT_EQ(velkor::testing::ReadFile(other), velkor::testing::ImageOf("END"));
}

TEST(ScanObject, FailsWithTheEngineErrorsOfItsFiles) {
  velkor::testing::TemporaryFolder folder;
  ScanObject object;
  const velkor::Bstr missing((folder.path() / "missing.src").string());
  LONG written = -1;
  EXPECT_EQ(object.scan->ScanFile(missing.get()), E_FAIL);
  EXPECT_EQ(FailureCode(), 34u);
  EXPECT_EQ(object.scan->MakeVQX(missing.get(), &written), E_FAIL);
  EXPECT_EQ(FailureCode(), 34u);

  const auto source = folder.path() / "prog.src";
  velkor::testing::WriteFile(source, "END");
  const velkor::Bstr sourceName(source.string());
  const velkor::Bstr unwritable((folder.path() / "no-such-folder" / "prog.vqx").string());
  EXPECT_EQ(object.scan->MakeVQX2(sourceName.get(), unwritable.get(), &written), E_FAIL);
  EXPECT_EQ(FailureCode(), 35u);

  EXPECT_EQ(object.scan->ScanFile(nullptr), E_FAIL);
  EXPECT_EQ(FailureCode(), 19u);
  EXPECT_EQ(object.scan->MakeVQX(nullptr, &written), E_FAIL);
  EXPECT_EQ(FailureCode(), 19u);
  EXPECT_EQ(object.scan->MakeVQX2(sourceName.get(), nullptr, &written), E_FAIL);
  EXPECT_EQ(FailureCode(), 19u);
  EXPECT_EQ(object.scan->MakeVQX(sourceName.get(), nullptr), E_POINTER);
}
