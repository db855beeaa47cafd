// Port names: the simulator publishes each port under a COM name while it
// runs and removes exactly what it published.
#include <gtest/gtest.h>

#include <map>

#include "host_port.h"
#include "sim/frontend/simulator.h"

namespace velkor::sim {
namespace {

class MemoryDirectory final : public PortDirectory {
 public:
  std::optional<std::string> Publish(std::optional<int> wanted, const std::string& device) override {
    int number = wanted.value_or(1);
    if (wanted && names.count(number)) return std::nullopt;
    while (!wanted && names.count(number)) ++number;
    names[number] = device;
    return "COM" + std::to_string(number);
  }
  void Withdraw(const std::string& name, const std::string& device) override {
    int number = std::stoi(name.substr(3));
    auto found = names.find(number);
    if (found != names.end() && found->second == device) names.erase(found);
  }
  std::map<int, std::string> names;
};

Scenario Parse(const std::string& text) {
  ScenarioParse parsed = ParseScenario(text);
  EXPECT_TRUE(parsed.errors.empty());
  return parsed.scenario;
}

TEST(PublishPorts, NamesWhileRunningAndRemovesOnlyItsOwn) {
  MemoryDirectory directory;
  directory.names[1] = "/dev/someone-else";
  std::string error;
  {
    auto simulator = Simulator::Start(Parse("port COM3 chain\nmotor address=1\nport bus\nmotor\n"), &directory, error);
    ASSERT_TRUE(simulator) << error;
    EXPECT_EQ(simulator->PortName(0), "COM3");
    EXPECT_EQ(simulator->PortName(1), "COM2");  // COM1 is taken
    EXPECT_EQ(directory.names[3], simulator->DevicePath(0));
    EXPECT_EQ(directory.names[2], simulator->DevicePath(1));
    // The published device is a working port.
    testing::HostPort host(directory.names[3]);
    ASSERT_TRUE(host.IsOpen());
    host.Write("\x81RBe\r");
    EXPECT_EQ(host.Read(7), "\x81RBe\r0\r");
    std::vector<std::string> lines = simulator->Describe();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "COM3 " + simulator->DevicePath(0) + " chain");
    EXPECT_EQ(lines[1], "  motor 1: serial A1001, firmware 450, model SV2315D, address 1, 9600 baud");
  }
  EXPECT_EQ(directory.names, (std::map<int, std::string>{{1, "/dev/someone-else"}}));
}

TEST(PublishPorts, TakenNameRefusesTheScenarioAndLeavesNothing) {
  MemoryDirectory directory;
  directory.names[5] = "/dev/someone-else";
  std::string error;
  auto simulator = Simulator::Start(Parse("port COM4 chain\nmotor\nport COM5 chain\nmotor\n"), &directory, error);
  EXPECT_FALSE(simulator);
  EXPECT_EQ(error, "cannot publish COM5 (taken or not writable)");
  EXPECT_EQ(directory.names, (std::map<int, std::string>{{5, "/dev/someone-else"}}));
}

}  // namespace
}  // namespace velkor::sim
