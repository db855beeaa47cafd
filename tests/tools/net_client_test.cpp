// velkor on a network link: scan --net, add-net, and --net in place of
// --port for the motor commands, run as a separate program against simulated
// network adapters.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/client_process.h"
#include "tests/support/network_adapters.h"
#include "tests/support/test_environment.h"

using velkor::testing::ClientRun;
using velkor::testing::ReadFile;
using velkor::testing::RunClient;
using velkor::testing::WriteFile;

namespace {

const std::vector<std::string> kTwoMotors = {"motor serial=A3001 model=SV2315D firmware=441",
                                             "motor serial=A3002 model=SV2320D firmware=452"};

class NetClientTest : public ::testing::Test {
 protected:
  void Start(bool discovery, const std::vector<std::string>& motors = kTwoMotors) {
    adapters_ = velkor::testing::StartAdapters(motors, discovery, "", registry_.UserFile());
    ASSERT_TRUE(adapters_.simulator);
  }
  std::string Path(const std::string& name) const { return (folder_.path() / name).string(); }
  template <class Use>
  auto WithMotor(std::size_t motor, Use&& use) {
    return adapters_.simulator->WithMotor(0, motor, std::forward<Use>(use));
  }

  velkor::testing::TemporaryRegistry registry_;
  velkor::testing::TemporaryFolder folder_;
  velkor::testing::NetworkAdapters adapters_;
};

}  // namespace

TEST_F(NetClientTest, ScanFindsTheAdaptersAndListsTheirMotors) {
  Start(true);
  ClientRun run = RunClient("scan --net --max 5");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("result 1: motors found"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("1        A3001          SV2315D        441"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("2        A3002          SV2320D        452"), std::string::npos) << run.output;
}

TEST_F(NetClientTest, SendAndInfoReachAMotorOnTheNetwork) {
  Start(true);
  ClientRun run = RunClient("send --net --address 2 RSP");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("24576/452"), std::string::npos) << run.output;
  run = RunClient("info --net --address 1");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("A3001"), std::string::npos) << run.output;
  run = RunClient("send --net --address 3 RSP");
  EXPECT_EQ(run.status, 2) << run.output;
}

TEST_F(NetClientTest, AddNetConnectsOneAdapter) {
  Start(false);
  ClientRun run = RunClient("add-net " + velkor::testing::AdapterAddress(1));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("127.0.0.3 is motor 1"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("1        A3002"), std::string::npos) << run.output;
  run = RunClient("add-net 127.0.0.9");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("no motor added"), std::string::npos) << run.output;
}

TEST_F(NetClientTest, NetAndPortExcludeEachOther) {
  EXPECT_EQ(RunClient("send --net --port COM1 RSP").status, 2);
  EXPECT_EQ(RunClient("scan --net --rs485").status, 2);
  EXPECT_EQ(RunClient("add-net").status, 2);
}

TEST_F(NetClientTest, MemReadsAndWritesTheMemoryOfTheAddressedMotor) {
  Start(true);
  // The factory image keeps the serial number as a long at 32256.
  ClientRun run = RunClient("mem --net --address 2 read 32256");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("1090522042 (0x41000BBA)"), std::string::npos) << run.output;

  run = RunClient("mem --net --address 1 write 200 0x1234 --word");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(WithMotor(0, [](velkor::sim::Firmware& m) { return m.Memory().Byte(200); }), 0x12);
  EXPECT_EQ(WithMotor(0, [](velkor::sim::Firmware& m) { return m.Memory().Byte(201); }), 0x34);
  EXPECT_EQ(WithMotor(1, [](velkor::sim::Firmware& m) { return m.Memory().Byte(200); }), 0xFF);
  // The long beyond the word reaches into erased memory.
  run = RunClient("mem --net --address 1 read 200");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("305463295 (0x1234FFFF)"), std::string::npos) << run.output;
  run = RunClient("mem --net --address 1 read 201 --byte");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("52 (0x34)"), std::string::npos) << run.output;
}

TEST_F(NetClientTest, ProgramsGoIntoMotorsOnTheNetworkAndComeBack) {
  // A servo motor beside the plain one: only servo firmware keeps a compiled program.
  Start(true, {"motor serial=A3001 model=SV2315D firmware=441", "motor serial=A3002 model=SV2320D firmware=463"});
  WriteFile(Path("move.src"), "' a move and back\nMP  A=100 V=1000\nP=4000 G\nC1\nWHILE a<3\n  a = a+1\nLOOP\nEND\n");
  ClientRun run = RunClient("compile " + Path("move.src"));
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string normalized = "MP A=100 V=1000\nP=4000 G\nC1\nWHILE a<3\na=a+1\nLOOP\nEND\n";

  run = RunClient("download --net --address 1 " + Path("move.vqx"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(WithMotor(0, [](velkor::sim::Firmware& m) { return m.Program(false).Body(); }), normalized);
  run = RunClient("upload --net --address 1 " + Path("back.txt"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(ReadFile(Path("back.txt")), "MP A=100 V=1000\r\nP=4000 G\r\nC1\r\nWHILE a<3\r\na=a+1\r\nLOOP\r\nEND\r\n");

  // Servo firmware refuses images of the plain family, so the image says 463.
  std::string image = ReadFile(Path("move.vqx"));
  ASSERT_TRUE(image.starts_with("$4000"));
  WriteFile(Path("move.scx"), image.replace(0, 5, "$4630"));
  run = RunClient("download --net --address 2 " + Path("move.scx"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(WithMotor(1, [](velkor::sim::Firmware& m) { return m.Program(true).Body(); }), normalized);
  run = RunClient("upload --net --address 2 - --compiled --raw");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(normalized), std::string::npos) << run.output;
}

TEST_F(NetClientTest, StreamDrivesTheMotorsOnTheNetworkToTheEndOfTheTable) {
  Start(true);
  const std::string table = Path("line.csv");
  ClientRun run =
      RunClient("path line --time-delta 64 --acceleration 0.05 --max-speed 5 --to 300,400 --create > " + table);
  ASSERT_EQ(run.status, 0) << run.output;
  run = RunClient("stream --net --motors 2 " + table);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("streamed 5 of 5 samples to 2 motor(s)"), std::string::npos) << run.output;
  EXPECT_NEAR(WithMotor(0, [](velkor::sim::Firmware& m) { return m.Host().Position(); }), 300, 0.5);
  EXPECT_NEAR(WithMotor(1, [](velkor::sim::Firmware& m) { return m.Host().Position(); }), 400, 0.5);

  // A third axis has no motor behind it: nothing is streamed.
  const std::string wide = Path("wide.csv");
  WriteFile(wide, "0,0,0,0\n10,10,10,64\n");
  run = RunClient("stream --net --motors 3 " + wide);
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("no motor at address 3 on the network"), std::string::npos) << run.output;
  EXPECT_FALSE(WithMotor(0, [](velkor::sim::Firmware& m) { return m.HostMode(); }));
}
