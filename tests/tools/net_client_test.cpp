// velkor on a network link: scan --net, add-net, and --net in place of
// --port for the motor commands, run as a separate program against simulated
// network adapters.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/client_process.h"
#include "tests/tools/per_motor_link_checks.h"
#include "tests/support/network_adapters.h"
#include "tests/support/test_environment.h"

using velkor::testing::ClientRun;
using velkor::testing::RunClient;

namespace {

const std::vector<std::string> kTwoMotors = {"motor serial=A3001 model=SV2315D firmware=441",
                                             "motor serial=A3002 model=SV2320D firmware=452"};

class NetClientTest : public ::testing::Test {
 protected:
  void Start(bool discovery, const std::vector<std::string>& motors = kTwoMotors) {
    adapters_ = velkor::testing::StartAdapters(motors, discovery, "", registry_.UserFile());
    ASSERT_TRUE(adapters_.simulator);
  }
  template <class Use>
  auto WithMotor(std::size_t motor, Use&& use) {
    return adapters_.simulator->WithMotor(0, motor, std::forward<Use>(use));
  }
  auto Motors() {
    return [this](std::size_t motor, auto use) { return WithMotor(motor, use); };
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

TEST_F(NetClientTest, MemReachesTheAddressedMotorOnly) {
  Start(true);
  // The factory image keeps the serial number as a long at 32256.
  ClientRun run = RunClient("mem --net --address 2 read 32256");
  EXPECT_NE(run.output.find("1090522042 (0x41000BBA)"), std::string::npos) << run.output;
  velkor::testing::ExpectMemoryOfTheAddressedMotor("--net", 0, 1, Motors());
}

TEST_F(NetClientTest, ProgramsGoAndComeBack) {
  Start(true, {"motor serial=A3001 model=SV2315D firmware=441", "motor serial=A3002 model=SV2320D firmware=463"});
  velkor::testing::ExpectProgramsGoAndComeBack("--net", folder_.path(), Motors());
}

TEST_F(NetClientTest, StreamDrivesTheMotorsToTheEndOfTheTable) {
  Start(true);
  velkor::testing::ExpectStreamToTheEndOfTheTable("--net", folder_.path(), 0, 1, "on the network", Motors());
}
