// velkor scan and reorder, run as a separate program against simulated motors.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "tests/support/client_process.h"
#include "tests/support/simulated_motors.h"
#include "tests/support/test_environment.h"

using velkor::testing::ClientRun;
using velkor::testing::RunClient;

namespace {

class ChainClientTest : public ::testing::Test {
 protected:
  velkor::testing::TemporaryRegistry registry_;
};

constexpr const char* kChainOfThree =
    "port chain\n"
    "motor serial=A1101 model=SV2315D resolution=4000\n"
    "motor serial=A1102 model=SV2320D resolution=4000\n"
    "motor serial=A1103 firmware=462 model=SV3430DE resolution=8000\n";

TEST_F(ChainClientTest, ScanAddressesAChainAndListsItsMotors) {
  auto simulator = velkor::testing::StartMotors(kChainOfThree);
  ASSERT_TRUE(simulator);
  ClientRun run = RunClient("scan --port " + simulator->DevicePath(0) + " --max 3 --timeout 60");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("result 1: motors found, and no other motor answers"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("2        A1102          SV2320D        450       4000"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("3        A1103          SV3430DE       462       8000"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("addressing the chain"), std::string::npos) << "the progress bar";

  // Looking only, without addressing: the motors keep their addresses.
  run = RunClient("scan --port " + simulator->DevicePath(0) + " --rs232 --max 3 --flags 0 --timeout 60");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("1        A1101"), std::string::npos) << run.output;
}

// A look at part of an addressed chain finds what is there and changes
// nothing; new addresses come only when asked for.
TEST_F(ChainClientTest, AnAddressedChainKeepsItsAddressesUnlessAsked) {
  auto simulator =
      velkor::testing::StartMotors("port chain\nmotor address=1 serial=A1101\nmotor address=5 serial=A1102\n");
  ASSERT_TRUE(simulator);
  auto addresses = [&] {
    return std::make_pair(simulator->WithMotor(0, 0, [](velkor::sim::Firmware& m) { return m.Address(); }),
                          simulator->WithMotor(0, 1, [](velkor::sim::Firmware& m) { return m.Address(); }));
  };
  const std::string port = "--port " + simulator->DevicePath(0);
  ClientRun run = RunClient("scan " + port + " --max 1");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("motors above --max 1 keep their addresses"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("1        A1101"), std::string::npos) << run.output;
  EXPECT_EQ(addresses(), std::make_pair(1, 5));
  EXPECT_EQ(RunClient("send " + port + " --address 5 RSP").output, "24576/450\n");

  run = RunClient("scan " + port + " --max 3 --readdress");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("addressed anew"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("2        A1102"), std::string::npos) << run.output;
  EXPECT_EQ(addresses(), std::make_pair(1, 2));
  EXPECT_EQ(RunClient("scan " + port + " --rs485 --readdress").status, 2);
}

TEST_F(ChainClientTest, ReorderMovesAMotorBySerialNumber) {
  auto simulator = velkor::testing::StartMotors(kChainOfThree);
  ASSERT_TRUE(simulator);
  const std::string port = "--port " + simulator->DevicePath(0) + " --max 3 --timeout 60";
  ClientRun run = RunClient("reorder " + port + " 1 A1103");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("A1103 moved to address 1; the motor there moved to 3"), std::string::npos) << run.output;
  EXPECT_EQ(simulator->WithMotor(0, 2, [](velkor::sim::Firmware& m) { return m.Address(); }), 1);
  run = RunClient("reorder " + port + " 1 A9999");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("no motor has serial number A9999"), std::string::npos) << run.output;
  EXPECT_EQ(RunClient("reorder " + port + " A1103").status, 2) << "no address";
}

TEST_F(ChainClientTest, ScanRefusesBadOptions) {
  EXPECT_EQ(RunClient("scan --port COM1 --rs485 --serial-numbers").status, 2);
  EXPECT_EQ(RunClient("scan --port COM1 --max").status, 2);
  ClientRun run = RunClient("scan --port COM1 --timeout soon");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("--timeout needs a number"), std::string::npos) << run.output;
  EXPECT_EQ(RunClient("scan --port COM1 --bogus").status, 2);
}

TEST_F(ChainClientTest, CtrlCCancelsASerialNumberScan) {
  auto simulator = velkor::testing::StartMotors("port bus\nmotor serial=A1001\nmotor serial=A1002\n");
  ASSERT_TRUE(simulator);
  // The full set-up of 64 addresses takes seconds; Ctrl-C after one stops it.
  const ClientRun run = velkor::testing::RunClientThenSignal(
      "scan --port " + simulator->DevicePath(0) + " --serial-numbers --timeout 20", "INT");
  const std::string& output = run.output;
  EXPECT_EQ(run.status, 2) << output;
  EXPECT_NE(output.find("result 262144: cancelled"), std::string::npos) << output;

  EXPECT_NE(output.find("scanning"), std::string::npos) << "the progress bar";
}

}  // namespace
