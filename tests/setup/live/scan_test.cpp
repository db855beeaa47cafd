// The motor scan against simulated ports published under COM names in a
// registry of the test's own, and the choice of ports on a made-up machine.

#include <gtest/gtest.h>

#include "tests/setup/live/simulated_ports.h"
#include "tests/setup/recording_view.h"

#include <algorithm>

#include "platform/registry/registry.h"
#include "setup/live/scan.h"
#include "tests/support/simulated_motors.h"
#include "tests/support/test_environment.h"

namespace velkor::setup {
namespace {

using ::velkor::testing::TemporaryFolder;
using ::velkor::testing::WriteFile;

// Ports are probed at once; the view is called from their threads in turn.

class MotorScanTest : public testing::SimulatedPorts {
 protected:
  // As a download leaves it: one character code a long, -1 after the last.
  void StoreRecord(std::size_t port, std::size_t motor, int eepromAddress, const std::string& text) {
    simulator_->WithMotor(port, motor, [&](sim::Firmware& firmware) {
      for (std::size_t k = 0; k < 26; ++k)
        firmware.Command("al[" + std::to_string(k) + "]=" + (k < text.size() ? std::to_string(text[k]) : "-1"));
      firmware.Command("EPTR=" + std::to_string(eepromAddress));
      firmware.Command("VST(aa,26)");
      return 0;
    });
  }
  std::vector<std::string> Received(std::size_t port, std::size_t motor) {
    return simulator_->WithMotor(port, motor, [](sim::Firmware& firmware) {
      return std::vector<std::string>(firmware.ReceivedLines().begin(), firmware.ReceivedLines().end());
    });
  }
  void Scan(std::vector<int> ports) { scan_.Run({std::move(ports), &clock_}, view_); }

  RecordingClock clock_;
  testing::RecordingView view_;
  MotorScan scan_;
};

TEST_F(MotorScanTest, ListsEveryMotorInPortThenAddressOrderWithItsIdentity) {
  ASSERT_NO_FATAL_FAILURE(Start("port chain\n"
        "motor serial=A1201 firmware=450 model=SV2315D resolution=4000\n"
        "motor serial=A1202 firmware=440 model=SV2320D resolution=50\n"
        "port chain\n"
        "motor serial=A1203 firmware=462 model=SV3430DE resolution=8000\n"));
  StoreRecord(0, 0, 25000, "x-axis.adf");
  StoreRecord(0, 0, 26000, "12/07/2026:10:30:00");
  // A name whose device is gone is probed and yields nothing.
  ASSERT_TRUE(registry::WriteString(registry::Hive::CurrentUser, registry::kPortsKey, "COM200", "/dev/velkor-none"));
  const int a = Com(0), b = Com(1);
  ASSERT_LT(a, b);
  EXPECT_FALSE(scan_.State());

  Scan({b, 200, a});
  EXPECT_EQ(scan_.State(), kScanFoundMotors);
  const std::string date = "12/07/2026:10:30:00";
  const std::vector<FoundMotor> expected{{"SV2315D", "A1201", "450", "4000", a, 1, 1, "x-axis.adf", date},
                                         {"SV2320D", "A1202", "440", "0", a, 2, 0, "", ""},
                                         {"SV3430DE", "A1203", "462", "8000", b, 1, 1, "", ""}};
  EXPECT_EQ(scan_.Motors(), expected);
  EXPECT_EQ(scan_.Motors()[2].ListText(), "Com" + std::to_string(b) + " Motor 1");
  EXPECT_TRUE(scan_.Host(a) && scan_.Host(b));
  EXPECT_FALSE(scan_.Host(200));
  EXPECT_TRUE(scan_.DeniedPorts().empty());

  const auto newFirmwareCommands = [&](std::size_t motor) {
    const auto lines = Received(0, motor);
    return std::count(lines.begin(), lines.end(), "UCI UDI ZS ");
  };
  EXPECT_EQ(newFirmwareCommands(0), 1);
  EXPECT_EQ(newFirmwareCommands(1), 0);

  const std::string title = " Searching for Motors ";
  EXPECT_EQ(view_.events.front(), "busy");
  EXPECT_EQ(view_.events[1], "notice " + title + "|Scanning for Com Ports");
  EXPECT_TRUE(view_.Saw("notice " + title + "|Scanning Com Port 200"));
  EXPECT_TRUE(view_.Saw("notice " + title + "|Obtaining Motor 2 Information on Com" + std::to_string(a)));
  EXPECT_EQ(view_.events.back(), "idle");
  EXPECT_TRUE(view_.messages.empty());

  // Selection shows a record, and hands over the resolution only when asked.
  const auto shown = InformationOf(scan_, 1, true);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->texts, (std::array<std::string, 8>{"SV2320D", "A1202", "440", "0", "2", "0", "", ""}));
  EXPECT_EQ(shown->encoderRes, "0");
  EXPECT_FALSE(InformationOf(scan_, 0, false)->encoderRes);
  EXPECT_FALSE(InformationOf(scan_, 3, true));

  // The next scan closes the ports it held before it opens them again.
  Scan({a});
  EXPECT_EQ(scan_.Motors().size(), 2u);
  EXPECT_FALSE(scan_.Host(b));
}

TEST_F(MotorScanTest, NoMotorAnywhereIsSaidInTheMessageBox) {
  ASSERT_NO_FATAL_FAILURE(Start("port chain\nmotor\nfault motor=1 silent\n"));
  EXPECT_FALSE(InformationOf(scan_, 0, true));
  Scan({Com(0)});
  EXPECT_EQ(scan_.State(), kScanFoundNone);
  EXPECT_TRUE(scan_.Motors().empty());
  EXPECT_FALSE(scan_.Host(Com(0)));
  const Message expected{"Serial Port Scan Message",
                         "No Motors were found on Any Serial Port.\rCheck Cable Connections and/or Motor Power\r"
                         "and  Try Again. ",
                         Icon::Exclamation};
  EXPECT_EQ(view_.messages, std::vector<Message>{expected});
  const auto hidden = std::find(view_.events.begin(), view_.events.end(), "hide");
  EXPECT_LT(hidden, std::find(view_.events.begin(), view_.events.end(), "message")) << "the notices go first";
  EXPECT_FALSE(InformationOf(scan_, 0, true));
}

// A machine of files: its /dev, its sysfs tty class and its registry.
TEST(PortCandidatesTest, RealPortsNamedPortsAndAdaptersThatGetANameOnce) {
  velkor::testing::TemporaryRegistry registry;
  TemporaryFolder machine;
  namespace fs = std::filesystem;
  const DeviceFolders folders{machine / "dev", machine / "sys"};
  fs::create_directories(folders.dev / "serial" / "by-id");
  for (const char* device : {"ttyS0", "ttyS1", "ttyS2", "ttyUSB0", "ttyUSB1", "ttyUSBx", "pts"})
    WriteFile(folders.dev / device, "");
  fs::create_symlink("../../ttyUSB1", folders.dev / "serial" / "by-id" / "usb-FTDI_A9X-if00-port0");
  fs::create_directories(folders.ttyClass / "ttyS0" / "device");
  WriteFile(folders.ttyClass / "ttyS0" / "type", "4\n");
  fs::create_directories(folders.ttyClass / "ttyS1" / "device");  // a slot without a UART
  WriteFile(folders.ttyClass / "ttyS1" / "type", "0\n");
  const auto ports = [](const char* name, const std::string& path) {
    return registry::WriteString(registry::Hive::CurrentUser, registry::kPortsKey, name, path);
  };
  ASSERT_TRUE(ports("COM2", (folders.dev / "ttyUSB0").string()));
  ASSERT_TRUE(ports("COM5", (machine / "pty").string()));
  WriteFile(machine / "pty", "");
  ASSERT_TRUE(ports("COM7", (machine / "gone").string()));

  const std::string named = (folders.dev / "serial" / "by-id" / "usb-FTDI_A9X-if00-port0").string();
  const std::vector<PortCandidate> expected{{1, (folders.dev / "ttyS0").string()},
                                            {2, (folders.dev / "ttyUSB0").string()},
                                            {3, named},
                                            {5, (machine / "pty").string()}};
  EXPECT_EQ(FindPortCandidates(folders), expected);
  EXPECT_EQ(registry::ReadString(registry::Hive::CurrentUser, registry::kPortsKey, "COM3"), named);
  EXPECT_EQ(FindPortCandidates(folders), expected) << "an adapter keeps its name";
  EXPECT_EQ(registry::ReadHive(registry::Hive::CurrentUser).ValueNames(registry::kPortsKey).size(), 4u);

  EXPECT_EQ(ParsePortList(" COM3, com7,"), (std::vector<int>{3, 7}));
  for (const char* wrong : {"COM0", "COM257", "COM03", "COM3,ttyS0", "3"}) EXPECT_FALSE(ParsePortList(wrong)) << wrong;
}

}  // namespace
}  // namespace velkor::setup
