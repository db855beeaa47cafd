#include "platform/usbxp/device_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_environment.h"

namespace velkor::usbxp {
namespace {

namespace fs = std::filesystem;
using velkor::testing::ScopedEnvironment;
using velkor::testing::TemporaryFolder;
using velkor::testing::WriteFile;

TEST(DeviceListFile, TakesTabSeparatedLinesAndSkipsWhatIsNoDevice) {
  const auto devices = ParseDeviceList(
      "Varnex(TM) USB Interface\tSN0001\t/dev/pts/7\r\n"
      "\n"
      "# written by the simulator\n"
      "Other adapter\t\t/dev/pts/8\n"
      "no path here\tSN0003\n"
      "With spaces in it\tSN 4\t/tmp/a b");
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[0], (DeviceEntry{"Varnex(TM) USB Interface", "SN0001", "/dev/pts/7"}));
  EXPECT_EQ(devices[1], (DeviceEntry{"Other adapter", "", "/dev/pts/8"}));
  EXPECT_EQ(devices[2], (DeviceEntry{"With spaces in it", "SN 4", "/tmp/a b"}));
}

TEST(DeviceListFile, IsReadAgainOnEveryCallAndAMissingFileListsNothing) {
  TemporaryFolder folder;
  const fs::path list = folder / "usb.txt";
  ScopedEnvironment variable("VELKOR_USB_DEVICES", list.string());
  EXPECT_TRUE(CurrentDevices().empty());
  WriteFile(list, "A\t1\t/dev/null\n");
  EXPECT_EQ(CurrentDevices().size(), 1u);
  WriteFile(list, "A\t1\t/dev/null\nB\t2\t/dev/null\n");
  EXPECT_EQ(CurrentDevices().size(), 2u);
}

// A tty class folder as the kernel lays it out: the tty's device link points
// at the usb-serial port (ttyUSB) or straight at the interface (ttyACM), and
// the USB device with its strings is a parent of the interface.
class FakeSysfs : public ::testing::Test {
 protected:
  void AddAdapter(const std::string& name, const std::string& product, const std::string& serial, bool portLevel) {
    const fs::path usb = folder_ / "devices" / ("usb-" + name);
    const fs::path interface = usb / "1-1:1.0";
    const fs::path target = portLevel ? interface / name : interface;
    fs::create_directories(target);
    WriteFile(usb / "idVendor", "10c4\n");
    WriteFile(usb / "product", product + "\n");
    WriteFile(usb / "serial", serial + "\n");
    AddTty(name, target);
  }
  void AddTty(const std::string& name, const fs::path& deviceTarget) {
    const fs::path tty = folder_ / "class" / "tty" / name;
    fs::create_directories(tty);
    if (!deviceTarget.empty()) {
      fs::create_directories(deviceTarget);
      fs::create_directory_symlink(deviceTarget, tty / "device");
    }
  }
  std::vector<DeviceEntry> Scan() const { return ScanSysfs(folder_ / "class" / "tty", "/dev"); }

  TemporaryFolder folder_;
};

TEST_F(FakeSysfs, FindsUsbAdaptersWithTheirStringsInDeviceOrder) {
  AddAdapter("ttyUSB10", "Varnex(TM) USB Interface", "VX10", true);
  AddAdapter("ttyUSB2", "Varnex(TM) USB Interface", "VX2", true);
  AddAdapter("ttyACM0", "Modem", "M0", false);
  AddTty("ttyS0", folder_ / "devices" / "platform" / "serial8250");
  AddTty("ttyUSBx", {});

  const auto devices = Scan();
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[0], (DeviceEntry{"Modem", "M0", "/dev/ttyACM0"}));
  EXPECT_EQ(devices[1], (DeviceEntry{"Varnex(TM) USB Interface", "VX2", "/dev/ttyUSB2"}));
  EXPECT_EQ(devices[2], (DeviceEntry{"Varnex(TM) USB Interface", "VX10", "/dev/ttyUSB10"}));
}

TEST_F(FakeSysfs, KeepsAnAdapterWhoseStringsCannotBeFound) {
  AddTty("ttyUSB0", folder_ / "devices" / "somewhere");
  AddTty("ttyUSB1", {});
  const auto devices = Scan();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0], (DeviceEntry{"", "", "/dev/ttyUSB0"}));
  EXPECT_EQ(devices[1], (DeviceEntry{"", "", "/dev/ttyUSB1"}));
}

TEST(Sysfs, AMissingFolderListsNothing) {
  EXPECT_TRUE(ScanSysfs("/nonexistent/class/tty", "/dev").empty());
}

}  // namespace
}  // namespace velkor::usbxp
