// velkor motors --why against simulated ports: the scan's own output, then
// why a port gave no motor; the fix it gives for motors at another rate is
// run as given, and the next scan finds them.

#include <gtest/gtest.h>

#include "sim/frontend/registry_directory.h"
#include "sim/frontend/simulator.h"
#include "tests/support/client_process.h"
#include "tests/support/test_environment.h"

namespace velkor::testing {
namespace {

TEST(MotorsWhyClientTest, SaysWhyAPortGaveNoMotorAndItsFixWorks) {
  TemporaryRegistry registry;
  sim::RegistryPortDirectory directory;
  std::string error;
  auto simulator = sim::Simulator::Start(
      sim::ParseScenario("port chain\nmotor serial=A1401 firmware=450 model=SV2315D resolution=4000\n"
                         "port chain\nmotor serial=A1402 firmware=450 model=SV2315D resolution=4000 baud=57600\n")
          .scenario,
      &directory, error);
  ASSERT_TRUE(simulator) << error;
  const std::string& found = simulator->PortName(0);
  const std::string& fast = simulator->PortName(1);

  std::string fix;
  {
    ScopedEnvironment ports("VELKOR_SCAN_PORTS", found + "," + fast);
    const ClientRun why = RunClient("motors --why");
    EXPECT_EQ(why.status, 0) << why.output;
    const std::string expected = "Com" + found.substr(3) + " Motor 1\tSV2315D\tA1401\t450\t4000\t\t\n" + fast + " (" +
                                 simulator->DevicePath(1) + "): 1 motor answers at 57600 baud;";
    EXPECT_EQ(why.output.substr(0, expected.size()), expected) << why.output;
    const std::size_t command = why.output.find("velkor send ");
    ASSERT_NE(command, std::string::npos) << why.output;
    fix = why.output.substr(command + 7, why.output.find('\n', command) - command - 7);
  }
  const ClientRun fixed = RunClient(fix);
  EXPECT_EQ(fixed.status, 0) << fix << "\n" << fixed.output;
  ScopedEnvironment ports("VELKOR_SCAN_PORTS", fast);
  const ClientRun again = RunClient("motors");
  EXPECT_EQ(again.output, "Com" + fast.substr(3) + " Motor 1\tSV2315D\tA1402\t450\t4000\t\t\n");

  const ClientRun wrong = RunClient("motors --how");
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.output.find("only --why"), std::string::npos) << wrong.output;
}

}  // namespace
}  // namespace velkor::testing
