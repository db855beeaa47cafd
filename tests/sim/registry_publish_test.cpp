// Publishing in the registry stand-in's Ports key, and the velkor-sim program
// around it: started, it names its ports; stopped by a signal, it removes them.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry/registry.h"
#include "sim/frontend/registry_directory.h"
#include "sim/frontend/simulator.h"
#include "tests/support/simulator_process.h"
#include "tests/support/test_environment.h"

namespace velkor::sim {
namespace {

namespace registry = velkor::registry;

class RegistryPublish : public ::testing::Test {
 protected:
  std::optional<std::string> Port(const std::string& name) {
    return registry::ReadString(registry::Hive::CurrentUser, registry::kPortsKey, name);
  }
  velkor::testing::TemporaryRegistry registry_;
};

TEST_F(RegistryPublish, PicksFreeNamesAndRemovesExactlyItsOwn) {
  ASSERT_TRUE(registry::WriteString(registry::Hive::CurrentUser, registry::kPortsKey, "COM1", "/dev/ttyS0"));
  RegistryPortDirectory directory;
  ScenarioParse parsed = ParseScenario("port chain\nmotor\nport COM9 bus\nmotor\n");
  ASSERT_TRUE(parsed.errors.empty());
  std::string error;
  {
    auto simulator = Simulator::Start(parsed.scenario, &directory, error);
    ASSERT_TRUE(simulator) << error;
    EXPECT_EQ(simulator->PortName(0), "COM2");
    EXPECT_EQ(Port("COM2"), simulator->DevicePath(0));
    EXPECT_EQ(Port("COM9"), simulator->DevicePath(1));
    // A second simulator may not take COM9 as well.
    ScenarioParse again = ParseScenario("port COM9 chain\nmotor\n");
    EXPECT_FALSE(Simulator::Start(again.scenario, &directory, error));
    EXPECT_EQ(Port("COM9"), simulator->DevicePath(1));
  }
  EXPECT_EQ(Port("COM1"), "/dev/ttyS0");
  EXPECT_FALSE(Port("COM2"));
  EXPECT_FALSE(Port("COM9"));
}

TEST_F(RegistryPublish, AFileThatIsNoRegistryIsKeptAndNamed) {
  velkor::testing::WriteFile(registry_.UserFile(), "my own notes\n");
  RegistryPortDirectory directory;
  std::string error;
  EXPECT_FALSE(Simulator::Start(ParseScenario("port chain\nmotor\n").scenario, &directory, error));
  EXPECT_NE(error.find(registry_.UserFile().string() + " is not a registry file"), std::string::npos) << error;
  EXPECT_EQ(velkor::testing::ReadFile(registry_.UserFile()), "my own notes\n");
}

TEST_F(RegistryPublish, ProgramServesUntilSignalledAndCleansUp) {
  const std::filesystem::path scenario = registry_.folder() / "one.scn";
  velkor::testing::WriteFile(scenario, "port COM6 chain\nmotor address=1\n");
  velkor::testing::SimulatorProcess program(VELKOR_SIM_PROGRAM, scenario);
  const std::string& printed = program.Printed();
  ASSERT_TRUE(program.Serving()) << printed;
  EXPECT_NE(printed.find("COM6 /dev/"), std::string::npos) << printed;
  EXPECT_NE(printed.find("motor 1: serial A1001"), std::string::npos) << printed;
  auto device = Port("COM6");
  ASSERT_TRUE(device);
  EXPECT_NE(printed.find(*device), std::string::npos);
  EXPECT_EQ(program.Stop(), 0);
  EXPECT_FALSE(Port("COM6"));
}

}  // namespace
}  // namespace velkor::sim
