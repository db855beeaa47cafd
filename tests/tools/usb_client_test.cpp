// velkor on a USB link: scan --usb, and --usb in place of --port for the
// motor commands, run as a separate program against simulated USB adapters.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_environment.h"
#include "tests/support/usb_adapters.h"
#include "tests/support/client_process.h"
#include "tests/tools/per_motor_link_checks.h"

using velkor::testing::ClientRun;
using velkor::testing::RunClient;

namespace {

// Two motor adapters with a device of another kind between them: motors 1
// and 2 are the first and the third device.
const std::vector<std::string> kTwoMotors = {"motor serial=A4001 model=SV2315D firmware=441",
                                             "motor description=\"Other USB Thing\"",
                                             "motor serial=A4003 model=SV2320D firmware=452"};

class UsbClientTest : public ::testing::Test {
 protected:
  UsbClientTest() : devices_("VELKOR_USB_DEVICES", (registry_.folder() / "usb-devices").string()) {}
  void Start(const std::vector<std::string>& motors = kTwoMotors) {
    simulator_ = velkor::testing::StartUsbAdapters(motors, registry_.folder() / "usb-devices");
    ASSERT_TRUE(simulator_);
  }
  template <class Use>
  auto WithMotor(std::size_t device, Use&& use) {
    return simulator_->WithMotor(0, device, std::forward<Use>(use));
  }
  auto Motors() {
    return [this](std::size_t device, auto use) { return WithMotor(device, use); };
  }

  velkor::testing::TemporaryRegistry registry_;
  velkor::testing::TemporaryFolder folder_;
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

TEST_F(UsbClientTest, MemReachesTheAddressedMotorOnly) {
  Start();
  // The factory image keeps the serial number as a long at 32256.
  ClientRun run = RunClient("mem --usb --address 2 read 32256");
  EXPECT_NE(run.output.find("1090523043 (0x41000FA3)"), std::string::npos) << run.output;
  velkor::testing::ExpectMemoryOfTheAddressedMotor("--usb", 0, 2, Motors());
}

TEST_F(UsbClientTest, ProgramsGoAndComeBack) {
  Start({"motor serial=A4001 model=SV2315D firmware=441", "motor serial=A4002 model=SV2320D firmware=463"});
  velkor::testing::ExpectProgramsGoAndComeBack("--usb", folder_.path(), Motors());
  // The adapter is back at 38400 after the 9600 of the servo download.
  EXPECT_EQ(WithMotor(1, [](velkor::sim::Firmware& m) { return m.Listening().baud; }), 38400);
}

TEST_F(UsbClientTest, StreamDrivesTheMotorsToTheEndOfTheTable) {
  Start();
  velkor::testing::ExpectStreamToTheEndOfTheTable("--usb", folder_.path(), 0, 2, "on USB", Motors());
}
