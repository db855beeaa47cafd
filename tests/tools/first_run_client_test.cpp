// A first run as the README tells it: velkor-sim in one terminal, velkor in
// another, and no settings written by hand. The simulator publishes what the
// engine needs to find its network and USB adapters and takes it back when
// it stops.

#include <gtest/gtest.h>

#include <string>

#include "platform/registry/registry.h"
#include "tests/support/client_process.h"
#include "tests/support/network_adapters.h"
#include "tests/support/simulator_process.h"
#include "tests/support/test_environment.h"

using velkor::testing::ClientRun;
using velkor::testing::RunClient;

namespace {

namespace registry = velkor::registry;

class FirstRun : public ::testing::Test {
 protected:
  std::optional<registry::Value> Setting(const char* name) {
    return registry::ReadHive(registry::Hive::CurrentUser).Get(registry::kCommSettingsKey, name);
  }

  velkor::testing::TemporaryRegistry registry_;
  velkor::testing::TemporaryFolder folder_;
  // The default USB device list lies in the runtime folder; the machine's
  // own adapters stay out of the scan.
  velkor::testing::ScopedEnvironment runtime_{"XDG_RUNTIME_DIR", folder_.path().string()};
  velkor::testing::ScopedEnvironment noList_{"VELKOR_USB_DEVICES", std::nullopt};
  velkor::testing::ScopedEnvironment noMachineAdapters_{"VELKOR_USB_SYSFS", (folder_ / "no-adapters").string()};
};

}  // namespace

TEST_F(FirstRun, TheSimulatorsAdaptersAreFoundWithoutSetUp) {
  // A setting of the user's own, which the simulator must give back.
  velkor::testing::WriteFile(registry_.UserFile(),
                             "Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\SOFTWARE\\Trevano\\VNXEngine\\IVNXComm]\n"
                             "\"NetBroadcastAddress\"=\"192.168.7.255\"\n");
  const std::string port = std::to_string(velkor::testing::FreePort("127.0.0.2", SOCK_STREAM));
  const auto scenario = folder_ / "first.scn";
  velkor::testing::WriteFile(scenario, "port net discovery=127.0.0.1:0\n"
                                       "motor listen=127.0.0.2:" + port + " serial=A3001\n"
                                       "motor listen=127.0.0.3:" + port + " serial=A3002\n"
                                       "port usb\n"
                                       "motor usb-serial=VX0001 serial=A4001\n");
  {
    velkor::testing::SimulatorProcess simulator(velkor::testing::BinaryFolder() / "velkor-sim", scenario);
    ASSERT_TRUE(simulator.Serving()) << simulator.Printed();
    EXPECT_NE(simulator.Printed().find("network settings published"), std::string::npos) << simulator.Printed();

    // --max N means motors 1..N on the network as on a port.
    ClientRun run = RunClient("scan --net --max 1");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("\n1        A300"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("\n2        A300"), std::string::npos) << run.output;
    run = RunClient("scan --net --max 2");
    EXPECT_NE(run.output.find("\n2        A300"), std::string::npos) << run.output;

    run = RunClient("send --usb --address 1 RSP");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("24576/"), std::string::npos) << run.output;
    EXPECT_EQ(simulator.Stop(), 0);
  }
  EXPECT_EQ(Setting("NetBroadcastAddress"), registry::Value{std::string("192.168.7.255")});
  EXPECT_FALSE(Setting("NetDiscoveryPort"));
  EXPECT_FALSE(Setting("NetMotorPort"));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "velkor" / "usb-devices"));
}

TEST_F(FirstRun, ANetworkFailureSaysWhatFailed) {
  velkor::testing::WriteFile(registry_.UserFile(),
                             "Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\SOFTWARE\\Trevano\\VNXEngine\\IVNXComm]\n"
                             "\"NetBroadcastAddress\"=\"300.1.2.3\"\n"
                             "\"NetDiscoveryLocalPort\"=dword:00000000\n");
  ClientRun run = RunClient("scan --net");
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_NE(run.output.find("sending the discovery query to 300.1.2.3:30718: Invalid argument) (engine error 45)"),
            std::string::npos)
      << run.output;
}
