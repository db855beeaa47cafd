#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/registry/registry.h"
#include "platform/serial/serial_port.h"
#include "pty_pair.h"

namespace velkor::serial {
namespace {

namespace fs = std::filesystem;
using registry::Hive;
using registry::kPortsKey;

// Both hives point at files of this test only.
class SerialPortNames : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("velkor-serial-names-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    ::setenv("VELKOR_REGISTRY", (folder_ / "user.reg").c_str(), 1);
    ::setenv("VELKOR_REGISTRY_MACHINE", (folder_ / "machine.reg").c_str(), 1);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  std::string Resolved(std::string_view name) {
    auto path = ResolvePortName(name);
    EXPECT_TRUE(path.ok()) << name;
    return path.value;
  }

  fs::path folder_;
};

TEST_F(SerialPortNames, PathsAndDevicePrefix) {
  EXPECT_EQ(Resolved("/dev/pts/3"), "/dev/pts/3");
  EXPECT_EQ(Resolved("\\\\.\\/dev/ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(Resolved("\\\\.\\COM3"), "/dev/ttyS2");
}

TEST_F(SerialPortNames, UnpublishedComPortsAreTheStandardDevices) {
  EXPECT_EQ(Resolved("COM1"), "/dev/ttyS0");
  EXPECT_EQ(Resolved("com12"), "/dev/ttyS11");
  EXPECT_EQ(Resolved("Com2"), "/dev/ttyS1");
}

TEST_F(SerialPortNames, NamesThatAreNoPortResolveToNothing) {
  for (const char* name : {"", "COM", "COM0", "COM01", "COMx", "COM1x", "COM-1", "LPT1", "ttyS0", "\\COM1",
                           "COM99999999999999999999"}) {
    auto path = ResolvePortName(name);
    EXPECT_FALSE(path.ok()) << name;
    EXPECT_EQ(path.error, ENOENT) << name;
  }
}

TEST_F(SerialPortNames, PublishedPortsComeFromTheUserHiveFirst) {
  ASSERT_TRUE(registry::WriteString(Hive::LocalMachine, kPortsKey, "COM4", "/dev/machine4"));
  ASSERT_TRUE(registry::WriteString(Hive::LocalMachine, kPortsKey, "COM5", "/dev/machine5"));
  ASSERT_TRUE(registry::WriteString(Hive::CurrentUser, kPortsKey, "COM5", "/dev/user5"));
  ASSERT_TRUE(registry::WriteString(Hive::CurrentUser, kPortsKey, "COM6", ""));
  EXPECT_EQ(Resolved("COM4"), "/dev/machine4");
  EXPECT_EQ(Resolved("com5"), "/dev/user5");
  EXPECT_EQ(Resolved("COM6"), "/dev/ttyS5");  // an empty entry publishes nothing
}

TEST_F(SerialPortNames, PublishedPortOpensByItsComName) {
  testing::PtyPair pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_TRUE(registry::WriteString(Hive::CurrentUser, kPortsKey, "COM7", pty.slavePath()));
  auto port = SerialPort::Open("\\\\.\\COM7");
  ASSERT_TRUE(port.ok()) << port.error;
  ASSERT_TRUE(port.value.Write(std::vector<std::uint8_t>{'O', 'K'}).ok());
  EXPECT_EQ(pty.ReadMaster(2, std::chrono::milliseconds(3000)), (std::vector<std::uint8_t>{'O', 'K'}));
}

TEST_F(SerialPortNames, ListingShowsPublishedPortsThatExistThenDevices) {
  testing::PtyPair first, second;
  ASSERT_TRUE(first.ok() && second.ok());
  ASSERT_TRUE(registry::WriteString(Hive::CurrentUser, kPortsKey, "COM10", second.slavePath()));
  ASSERT_TRUE(registry::WriteString(Hive::LocalMachine, kPortsKey, "COM9", first.slavePath()));
  ASSERT_TRUE(registry::WriteString(Hive::LocalMachine, kPortsKey, "COM10", "/dev/velkor-shadowed"));
  ASSERT_TRUE(registry::WriteString(Hive::CurrentUser, kPortsKey, "COM11", "/dev/velkor-gone"));

  const std::vector<PortEntry> ports = ListPorts();
  ASSERT_GE(ports.size(), 2u);
  EXPECT_EQ(ports[0].name, "COM9");
  EXPECT_EQ(ports[0].devicePath, first.slavePath());
  EXPECT_EQ(ports[1].name, "COM10");
  EXPECT_EQ(ports[1].devicePath, second.slavePath());
  for (std::size_t i = 2; i < ports.size(); ++i) {
    EXPECT_EQ(ports[i].name, ports[i].devicePath);
    EXPECT_TRUE(ports[i].name.starts_with("/dev/tty")) << ports[i].name;
    EXPECT_TRUE(fs::exists(ports[i].devicePath));
  }
  const bool gone = std::any_of(ports.begin(), ports.end(), [](const PortEntry& p) { return p.name == "COM11"; });
  EXPECT_FALSE(gone);
}

}  // namespace
}  // namespace velkor::serial
