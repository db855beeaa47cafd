#include <termios.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "platform/usbxp/usbxp.h"
#include "tests/platform/serial/pty_pair.h"
#include "tests/support/test_environment.h"

namespace velkor::usbxp {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;
using serial::testing::PtyPair;
using velkor::testing::ScopedEnvironment;
using velkor::testing::TemporaryFolder;
using velkor::testing::WriteFile;

// Two adapters on pseudo-terminals, listed as the simulator lists them.
class PtyDevices : public ::testing::Test {
 protected:
  PtyDevices() : list_("VELKOR_USB_DEVICES", (folder_ / "usb.txt").string()) {
    WriteFile(folder_ / "usb.txt", "Varnex(TM) USB Interface\tVX0001\t" + first_.slavePath() +
                                       "\nOther adapter\tOT0002\t" + second_.slavePath() + "\n");
  }
  void SetUp() override {
    ASSERT_TRUE(first_.ok() && second_.ok());
    SetTimeouts(1000, 1000);
  }
  Device OpenFirst() {
    auto opened = Device::Open(0);
    EXPECT_EQ(opened.status, Status::Success);
    return std::move(opened.value);
  }
  speed_t MasterSpeed() const {
    termios settings{};
    tcgetattr(first_.master(), &settings);
    return cfgetospeed(&settings);
  }

  TemporaryFolder folder_;
  ScopedEnvironment list_;
  PtyPair first_;
  PtyPair second_;
};

TEST_F(PtyDevices, ListsCountAndStringsByIndex) {
  EXPECT_EQ(NumberOfDevices().value, 2u);
  EXPECT_EQ(DeviceString(0, ProductString::Description).value, "Varnex(TM) USB Interface");
  EXPECT_EQ(DeviceString(0, ProductString::SerialNumber).value, "VX0001");
  EXPECT_EQ(DeviceString(1, ProductString::SerialNumber).value, "OT0002");
  EXPECT_EQ(DeviceString(2, ProductString::Description).status, Status::DeviceNotFound);
}

TEST_F(PtyDevices, OpensByIndexExclusively) {
  Device device = OpenFirst();
  EXPECT_TRUE(device.IsOpen());
  EXPECT_EQ(Device::Open(0).status, Status::OpenFailed) << "already open";
  EXPECT_EQ(Device::Open(2).status, Status::DeviceNotFound);
  device.Close();
  EXPECT_EQ(Device::Open(0).status, Status::Success) << "free again after close";
}

TEST_F(PtyDevices, WritesAndReadsThroughTheOtherEnd) {
  Device device = OpenFirst();
  const Bytes command = {0x80, 'R', 'P', '\r'};
  const auto written = device.Write(command);
  EXPECT_EQ(written.status, Status::Success);
  EXPECT_EQ(written.value, command.size());
  EXPECT_EQ(first_.ReadMaster(4, 1s), command);

  ASSERT_TRUE(first_.WriteMaster({'1', '2', '\r'}));
  Bytes buffer(3);
  const auto read = device.Read(buffer);
  EXPECT_EQ(read.value, 3u);
  EXPECT_EQ(buffer, (Bytes{'1', '2', '\r'}));
}

TEST_F(PtyDevices, ReadWaitsForAllBytesUpToTheReadTimeout) {
  Device device = OpenFirst();
  SetTimeouts(150, 1000);
  ASSERT_TRUE(first_.WriteMaster({'a', 'b'}));
  Bytes buffer(10);
  const auto start = Clock::now();
  const auto read = device.Read(buffer);
  EXPECT_GE(Clock::now() - start, 140ms);
  EXPECT_EQ(read.status, Status::Success);
  EXPECT_EQ(read.value, 2u);

  const auto nothing = device.Read(buffer);
  EXPECT_EQ(nothing.status, Status::NothingToRead);
  EXPECT_EQ(nothing.value, 0u);
}

TEST_F(PtyDevices, ReadTimeoutZeroTakesWhatIsWaiting) {
  Device device = OpenFirst();
  SetTimeouts(0, 1000);
  Bytes buffer(10);
  const auto start = Clock::now();
  EXPECT_EQ(device.Read(buffer).status, Status::NothingToRead);
  EXPECT_LT(Clock::now() - start, 100ms);
  EXPECT_EQ(GetTimeouts().readMs, 0u);
}

TEST_F(PtyDevices, ReceiveQueueStatusCountsWaitingBytes) {
  Device device = OpenFirst();
  auto queue = device.CheckReceiveQueue();
  EXPECT_EQ(queue.value.bytes, 0u);
  EXPECT_EQ(queue.value.state, QueueState::Empty);

  ASSERT_TRUE(first_.WriteMaster({'x', 'y', 'z'}));
  const auto deadline = Clock::now() + 2s;
  do queue = device.CheckReceiveQueue();
  while (queue.value.bytes < 3 && Clock::now() < deadline);
  EXPECT_EQ(queue.value.bytes, 3u);
  EXPECT_EQ(queue.value.state, QueueState::Ready);

  EXPECT_EQ(device.Flush(true, true), Status::Success);
  EXPECT_EQ(device.CheckReceiveQueue().value.bytes, 0u);
}

TEST_F(PtyDevices, RateAndLineControlReachTheLine) {
  Device device = OpenFirst();
  EXPECT_EQ(device.SetBaudRate(38400), Status::Success);
  EXPECT_EQ(MasterSpeed(), speed_t{B38400});
  EXPECT_EQ(device.SetBaudRate(12345), Status::InvalidParameter);
  EXPECT_EQ(MasterSpeed(), speed_t{B38400}) << "a refused rate changes nothing";

  EXPECT_EQ(device.SetLineControl(kEightDataBitsNoParityOneStop), Status::Success);
  EXPECT_EQ(device.SetLineControl(0x0822), Status::Success) << "even parity, two stop bits";
  EXPECT_EQ(device.SetLineControl(0x0900), Status::InvalidParameter) << "nine data bits";
  EXPECT_EQ(device.SetLineControl(0x0850), Status::InvalidParameter) << "no parity code 5";
  EXPECT_EQ(device.SetLineControl(0x0803), Status::InvalidParameter) << "no stop-bit code 3";
  EXPECT_EQ(device.SetFlowControl({}), Status::Success);
}

TEST_F(PtyDevices, AClosedDeviceAnswersInvalidHandle) {
  Device device;
  Bytes buffer(1);
  EXPECT_EQ(device.Read(buffer).status, Status::InvalidHandle);
  EXPECT_EQ(device.Write(buffer).status, Status::InvalidHandle);
  EXPECT_EQ(device.SetBaudRate(9600), Status::InvalidHandle);
  EXPECT_EQ(device.SetLineControl(kEightDataBitsNoParityOneStop), Status::InvalidHandle);
  EXPECT_EQ(device.Flush(true, true), Status::InvalidHandle);
  EXPECT_EQ(device.CheckReceiveQueue().status, Status::InvalidHandle);
}

TEST_F(PtyDevices, AHungUpDeviceFailsItsReads) {
  Device device = OpenFirst();
  first_.CloseMaster();
  Bytes buffer(4);
  const auto read = device.Read(buffer);
  EXPECT_EQ(read.status, Status::ReadError);
}

}  // namespace
}  // namespace velkor::usbxp
