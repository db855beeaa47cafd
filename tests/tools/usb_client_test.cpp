// velkor on a USB link: scan --usb, and --usb in place of --port, run as a
// separate program against simulated USB adapters.

#include <gtest/gtest.h>

#include "tests/support/test_environment.h"
#include "tests/support/usb_adapters.h"
#include "tests/support/client_process.h"

using velkor::testing::ClientRun;
using velkor::testing::RunClient;

namespace {

class UsbClientTest : public ::testing::Test {
 protected:
  UsbClientTest() : devices_("VELKOR_USB_DEVICES", (registry_.folder() / "usb-devices").string()) {}
  void Start() {
    simulator_ = velkor::testing::StartUsbAdapters(
        {"motor serial=A4001 model=SV2315D firmware=441", "motor description=\"Other USB Thing\"",
         "motor serial=A4003 model=SV2320D firmware=452"},
        registry_.folder() / "usb-devices");
    ASSERT_TRUE(simulator_);
  }
  velkor::testing::TemporaryRegistry registry_;
  velkor::testing::ScopedEnvironment devices_;
  std::unique_ptr<velkor::sim::Simulator> simulator_;
};

}  // namespace

TEST_F(UsbClientTest, ScanFindsTheAdaptersAndListsTheirMotors) {
  Start();
  ClientRun run = RunClient("scan --usb --max 5");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("result 1: motors found"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("1        A4001          SV2315D        441"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("2        A4003          SV2320D        452"), std::string::npos) << run.output;
}

TEST_F(UsbClientTest, SendReachesAMotorBehindItsAdapter) {
  Start();
  ClientRun run = RunClient("send --usb --address 2 RSP");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("24576/452"), std::string::npos) << run.output;
  run = RunClient("send --usb --address 3 RSP");
  EXPECT_EQ(run.status, 2) << run.output;
}

TEST_F(UsbClientTest, WithoutAdaptersScanFindsNothing) {
  ClientRun run = RunClient("scan --usb");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("result 64: no motor found"), std::string::npos) << run.output;
}

TEST_F(UsbClientTest, UsbExcludesPortAndNet) {
  EXPECT_EQ(RunClient("send --usb --port COM1 RSP").status, 2);
  EXPECT_EQ(RunClient("send --usb --net RSP").status, 2);
  EXPECT_EQ(RunClient("scan --usb --rs485").status, 2);
}
