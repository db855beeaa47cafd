// velkor on a USB link: scan --usb, and --usb in place of --port for the
// motor commands, run as a separate program against simulated USB adapters.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_environment.h"
#include "tests/support/usb_adapters.h"
#include "tests/support/client_process.h"

using velkor::testing::ClientRun;
using velkor::testing::ReadFile;
using velkor::testing::RunClient;
using velkor::testing::WriteFile;

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
  std::string Path(const std::string& name) const { return (folder_.path() / name).string(); }
  template <class Use>
  auto WithMotor(std::size_t device, Use&& use) {
    return simulator_->WithMotor(0, device, std::forward<Use>(use));
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

TEST_F(UsbClientTest, MemReadsAndWritesTheMemoryOfTheAddressedMotor) {
  Start();
  // The factory image keeps the serial number as a long at 32256.
  ClientRun run = RunClient("mem --usb --address 2 read 32256");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("1090523043 (0x41000FA3)"), std::string::npos) << run.output;

  run = RunClient("mem --usb --address 2 write 300 -2");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(WithMotor(2, [](velkor::sim::Firmware& m) { return m.Memory().Byte(303); }), 0xFE);
  EXPECT_EQ(WithMotor(0, [](velkor::sim::Firmware& m) { return m.Memory().Byte(303); }), 0xFF);
  run = RunClient("mem --usb --address 2 read 302 --word");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("65534 (0xFFFE)"), std::string::npos) << run.output;
  run = RunClient("mem --usb --address 1 write 300 0x5A --byte");
  ASSERT_EQ(run.status, 0) << run.output;
  run = RunClient("mem --usb --address 1 read 300 --byte");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("90 (0x5A)"), std::string::npos) << run.output;
}

TEST_F(UsbClientTest, ProgramsGoIntoMotorsBehindTheirAdaptersAndComeBack) {
  // A servo motor as the second: only servo firmware keeps a compiled
  // program, and its adapter is slowed to 9600 for the download.
  Start({"motor serial=A4001 model=SV2315D firmware=441", "motor serial=A4002 model=SV2320D firmware=463"});
  WriteFile(Path("move.src"), "' a move and back\nMP  A=100 V=1000\nP=4000 G\nC1\nWHILE a<3\n  a = a+1\nLOOP\nEND\n");
  ClientRun run = RunClient("compile " + Path("move.src"));
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string normalized = "MP A=100 V=1000\nP=4000 G\nC1\nWHILE a<3\na=a+1\nLOOP\nEND\n";

  run = RunClient("download --usb --address 1 " + Path("move.vqx"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(WithMotor(0, [](velkor::sim::Firmware& m) { return m.Program(false).Body(); }), normalized);
  run = RunClient("upload --usb --address 1 " + Path("back.txt"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadFile(Path("back.txt")), "MP A=100 V=1000\r\nP=4000 G\r\nC1\r\nWHILE a<3\r\na=a+1\r\nLOOP\r\nEND\r\n");

  // Servo firmware refuses images of the plain family, so the image says 463.
  std::string image = ReadFile(Path("move.vqx"));
  ASSERT_TRUE(image.starts_with("$4000"));
  WriteFile(Path("move.scx"), image.replace(0, 5, "$4630"));
  run = RunClient("download --usb --address 2 " + Path("move.scx"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(WithMotor(1, [](velkor::sim::Firmware& m) { return m.Program(true).Body(); }), normalized);
  // The motor is back at the rate its adapter runs at.
  EXPECT_EQ(WithMotor(1, [](velkor::sim::Firmware& m) { return m.Listening().baud; }), 38400);
  run = RunClient("upload --usb --address 2 - --compiled --raw");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(normalized), std::string::npos) << run.output;
}

TEST_F(UsbClientTest, StreamDrivesTheMotorsBehindTheAdaptersToTheEndOfTheTable) {
  Start();
  const std::string table = Path("line.csv");
  ClientRun run =
      RunClient("path line --time-delta 64 --acceleration 0.05 --max-speed 5 --to 300,400 --create > " + table);
  ASSERT_EQ(run.status, 0) << run.output;
  run = RunClient("stream --usb --motors 2 " + table);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("streamed 5 of 5 samples to 2 motor(s)"), std::string::npos) << run.output;
  EXPECT_NEAR(WithMotor(0, [](velkor::sim::Firmware& m) { return m.Host().Position(); }), 300, 0.5);
  EXPECT_NEAR(WithMotor(2, [](velkor::sim::Firmware& m) { return m.Host().Position(); }), 400, 0.5);

  // A third axis has no motor behind it: nothing is streamed.
  const std::string wide = Path("wide.csv");
  WriteFile(wide, "0,0,0,0\n10,10,10,64\n");
  run = RunClient("stream --usb --motors 3 " + wide);
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("no motor at address 3 on USB"), std::string::npos) << run.output;
}
