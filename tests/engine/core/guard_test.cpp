#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>

#include "engine/core/guard.h"
#include "engine/core/log.h"
#include "tests/support/engine_failure.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

namespace engine = velkor::engine;
using velkor::testing::TakeFailure;

namespace {

class GuardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    engine::log::SetFileName((folder_ / "engine.log").string());
    engine::log::SetFlags(0);
  }
  void TearDown() override {
    engine::log::SetFlags(0);
    engine::log::SetFileName("");
  }
  std::string Log() { return velkor::testing::ReadFile(folder_ / "engine.log"); }
  velkor::testing::TemporaryFolder folder_;
};

}  // namespace

TEST_F(GuardTest, EngineExceptionBecomesErrorInformation) {
  HRESULT status = engine::Guard(IID_IVNXMotor, [] { throw engine::CVNXException(engine::ErrorCode::MotorBufferOverflow, 3); });
  EXPECT_EQ(status, E_FAIL);
  auto reported = TakeFailure();
  EXPECT_EQ(reported.description, "Motor(3):Buffer overflow!");
  EXPECT_EQ(reported.helpContext, 0x00030018u);
  EXPECT_EQ(reported.helpFile, "Velkor.chm");
  EXPECT_EQ(reported.source, "No Source");
  EXPECT_EQ(reported.iid, IID_IVNXMotor);
}

TEST_F(GuardTest, HelpContextKeepsOnlyTheLow16BitsOfEach) {
  engine::Guard(IID_IVNXComm, [] { throw engine::CVNXException(18, std::nullopt, 0x12345); });
  auto reported = TakeFailure();
  EXPECT_EQ(reported.helpContext, 0x23450012u);
  EXPECT_EQ(reported.description, "Error(74565) writing to serial port!");
}

TEST_F(GuardTest, AnyOtherExceptionIsCodeOne) {
  EXPECT_EQ(engine::Guard(IID_IVNXPath, [] { throw std::runtime_error("boom"); }), E_FAIL);
  auto reported = TakeFailure();
  EXPECT_EQ(reported.description, "A C/C++ exception occurred in the Engine!");
  EXPECT_EQ(reported.helpContext, 1u);
  EXPECT_EQ(engine::Guard(IID_IVNXPath, [] { throw 42; }), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 1u);
}

TEST_F(GuardTest, SuccessReturnsOkAndLeavesEarlierErrorInformation) {
  engine::Guard(IID_IVNXComm, [] { throw engine::CVNXException(engine::ErrorCode::InvalidData); });
  EXPECT_EQ(engine::Guard(IID_IVNXComm, [] {}), S_OK);
  EXPECT_EQ(TakeFailure().description, "Invalid Data!");
}

TEST_F(GuardTest, LogsOnlyUnderTheInterfacesEnabledCategory) {
  engine::log::SetFlags(engine::log::kComm);
  engine::Guard(IID_IVNXComm, [] { throw engine::CVNXException(engine::ErrorCode::NoResponse); });
  engine::Guard(IID_IVNXMotor, [] { throw engine::CVNXException(engine::ErrorCode::NoEcho); });
  engine::Guard(IID_IUnknown, [] { throw engine::CVNXException(engine::ErrorCode::InvalidEcho); });
  const std::string log = Log();
  EXPECT_TRUE(std::regex_match(log, std::regex(R"(\d\d:\d\d:\d\d\.\d{3} \*\*\*\*\*\* Exception:No response received!\n\n)")))
      << log;

  engine::log::SetFlags(engine::log::kMotor | engine::log::kAppend);
  engine::Guard(IID_IVNXMotor, [] { throw engine::CVNXException(engine::ErrorCode::NoEcho); });
  EXPECT_NE(Log().find("Exception:No echo response received!"), std::string::npos);
  EXPECT_EQ(Log().find("Invalid echo"), std::string::npos) << "an unknown interface logs nothing";

  EXPECT_EQ(engine::LogCategoryOf(IID_IVNXScan), 8u);
  EXPECT_EQ(engine::LogCategoryOf(IID_IVNXErrors), 8u);
  EXPECT_EQ(engine::LogCategoryOf(IID_IVNXCMotion), 2u);
  EXPECT_EQ(engine::LogCategoryOf(IID_IVNXPath), 4u);
}

TEST_F(GuardTest, NotImplementedSaysWhichMember) {
  EXPECT_EQ(engine::NotImplemented(IID_IVNXComm, "IVNXComm", "OpenPort"), E_NOTIMPL);
  auto reported = TakeFailure();
  EXPECT_NE(reported.description.find("IVNXComm::OpenPort"), std::string::npos);
  EXPECT_EQ(reported.iid, IID_IVNXComm);
}
