// velkor motors, run as a user runs it, confined to simulated ports by
// VELKOR_SCAN_PORTS so that the machine's own ports stay untouched.

#include <gtest/gtest.h>

#include "sim/frontend/registry_directory.h"
#include "sim/frontend/simulator.h"
#include "tests/support/client_process.h"
#include "tests/support/test_environment.h"

namespace velkor::testing {
namespace {

TEST(MotorsClientTest, ListsTheMotorsOfTheNamedPortsOrSaysThereAreNone) {
  TemporaryRegistry registry;
  sim::RegistryPortDirectory directory;
  std::string error;
  auto simulator = sim::Simulator::Start(
      sim::ParseScenario("port chain\n"
                         "motor serial=A1301 firmware=450 model=SV2315D resolution=4000\n"
                         "motor serial=A1302 firmware=440 model=SV2320D resolution=50\n"
                         "port chain\nmotor\nfault motor=1 silent\n")
          .scenario,
      &directory, error);
  ASSERT_TRUE(simulator) << error;
  const std::string& chain = simulator->PortName(0);
  const std::string& silent = simulator->PortName(1);
  const std::string motors = "Com" + chain.substr(3) + " Motor ";

  {
    ScopedEnvironment ports("VELKOR_SCAN_PORTS", chain);
    const ClientRun found = RunClient("motors");
    EXPECT_EQ(found.status, 0) << found.output;
    EXPECT_EQ(found.output, motors + "1\tSV2315D\tA1301\t450\t4000\t\t\n" + motors + "2\tSV2320D\tA1302\t440\t0\t\t\n");
  }
  {
    ScopedEnvironment ports("VELKOR_SCAN_PORTS", silent);
    const ClientRun none = RunClient("motors");
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.output,
              "No Motors were found on Any Serial Port.\nCheck Cable Connections and/or Motor Power\n"
              "and  Try Again. \n");
  }
  ScopedEnvironment wrong("VELKOR_SCAN_PORTS", "COM3,/dev/ttyS0");
  const ClientRun refused = RunClient("motors");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.output.find("COM names from COM1 to COM256"), std::string::npos) << refused.output;
}

}  // namespace
}  // namespace velkor::testing
