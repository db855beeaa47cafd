#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/registry/registry.h"
#include "platform/serial/serial_port.h"
#include "pty_pair.h"
#include "tests/support/test_environment.h"

namespace velkor::serial {
namespace {

using registry::Hive;
using registry::kPortsKey;

class SerialPortNames : public ::testing::Test {
 protected:
  static void Publish(Hive hive, const char* name, const std::string& path) {
    ASSERT_TRUE(registry::WriteString(hive, kPortsKey, name, path));
  }
  ::velkor::testing::TemporaryRegistry registry_;
};

TEST_F(SerialPortNames, NamesResolveToDevicePaths) {
  Publish(Hive::LocalMachine, "COM4", "/dev/machine4");
  Publish(Hive::LocalMachine, "COM5", "/dev/machine5");
  Publish(Hive::CurrentUser, "COM5", "/dev/user5");  // the user's hive first
  Publish(Hive::CurrentUser, "COM6", "");             // publishes nothing
  const std::pair<const char*, const char*> cases[] = {
      {"/dev/pts/3", "/dev/pts/3"}, {"\\\\.\\/dev/ttyUSB0", "/dev/ttyUSB0"}, {"\\\\.\\COM3", "/dev/ttyS2"},
      {"COM1", "/dev/ttyS0"},       {"com12", "/dev/ttyS11"},               {"Com2", "/dev/ttyS1"},
      {"COM4", "/dev/machine4"},    {"com5", "/dev/user5"},                 {"COM6", "/dev/ttyS5"},
  };
  for (const auto& [name, path] : cases) {
    const auto resolved = ResolvePortName(name);
    EXPECT_TRUE(resolved.ok()) << name;
    EXPECT_EQ(resolved.value, path) << name;
  }
  for (const char* name : {"", "COM", "COM0", "COM01", "COMx", "COM1x", "COM-1", "LPT1", "ttyS0", "\\COM1",
                           "COM99999999999999999999"})
    EXPECT_EQ(ResolvePortName(name).error, ENOENT) << name;
}

TEST_F(SerialPortNames, PublishedPortOpensByItsComName) {
  testing::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  Publish(Hive::CurrentUser, "COM7", pty.slavePath());
  auto port = SerialPort::Open("\\\\.\\COM7");
  ASSERT_TRUE(port.ok()) << port.error;
  ASSERT_TRUE(port.value.Write(std::vector<std::uint8_t>{'O', 'K'}).ok());
  EXPECT_EQ(pty.ReadMaster(2, std::chrono::milliseconds(3000)), (std::vector<std::uint8_t>{'O', 'K'}));
}

TEST_F(SerialPortNames, ListingShowsPublishedPortsThatExistThenDevices) {
  testing::PtyPair first, second;
  ASSERT_TRUE(first.ok() && second.ok());
  Publish(Hive::CurrentUser, "COM10", second.slavePath());
  Publish(Hive::LocalMachine, "COM9", first.slavePath());
  Publish(Hive::LocalMachine, "COM10", "/dev/velkor-shadowed");
  Publish(Hive::CurrentUser, "COM11", "/dev/velkor-gone");

  const std::vector<PortEntry> ports = ListPorts();
  ASSERT_GE(ports.size(), 2u);
  EXPECT_EQ(ports[0].name, "COM9");
  EXPECT_EQ(ports[0].devicePath, first.slavePath());
  EXPECT_EQ(ports[1].name, "COM10");
  EXPECT_EQ(ports[1].devicePath, second.slavePath());
  for (std::size_t i = 2; i < ports.size(); ++i) {
    EXPECT_EQ(ports[i].name, ports[i].devicePath);
    EXPECT_TRUE(ports[i].name.starts_with("/dev/tty")) << ports[i].name;
    EXPECT_TRUE(std::filesystem::exists(ports[i].devicePath));
  }
  EXPECT_TRUE(std::none_of(ports.begin(), ports.end(), [](const PortEntry& p) { return p.name == "COM11"; }));
}

}  // namespace
}  // namespace velkor::serial
