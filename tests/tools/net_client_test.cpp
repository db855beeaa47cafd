// velkor on a network link: scan --net, add-net, and --net in place of
// --port, run as a separate program against simulated network adapters.

#include <gtest/gtest.h>

#include "tests/support/client_process.h"
#include "tests/support/network_adapters.h"
#include "tests/support/test_environment.h"

using velkor::testing::ClientRun;
using velkor::testing::RunClient;

namespace {

class NetClientTest : public ::testing::Test {
 protected:
  void Start(bool discovery) {
    adapters_ = velkor::testing::StartAdapters(
        {"motor serial=A3001 model=SV2315D firmware=441", "motor serial=A3002 model=SV2320D firmware=452"}, discovery,
        "", registry_.UserFile());
    ASSERT_TRUE(adapters_.simulator);
  }
  velkor::testing::TemporaryRegistry registry_;
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
