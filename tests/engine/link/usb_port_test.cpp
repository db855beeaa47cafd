#include "engine/link/usb_port.h"

#include <termios.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "engine/core/errors.h"
#include "tests/platform/serial/pty_pair.h"
#include "tests/support/engine_error.h"
#include "tests/support/test_environment.h"

using velkor::testing::ErrorCodeOf;

namespace velkor::engine {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using serial::testing::PtyPair;
using velkor::testing::ScopedEnvironment;
using velkor::testing::TemporaryFolder;
using velkor::testing::WriteFile;

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }
std::vector<std::uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// One USB motor adapter on a pseudo-terminal; the test plays the motors.
class UsbAdapter : public ::testing::Test {
 protected:
  UsbAdapter() : list_("VELKOR_USB_DEVICES", (folder_ / "usb.txt").string()) {
    WriteFile(folder_ / "usb.txt", std::string(kUsbMotorDescription) + "\tVX0001\t" + motors_.slavePath() + "\n");
  }
  void SetUp() override { ASSERT_TRUE(motors_.ok()); }
  void Open() { ASSERT_TRUE(port_.Open()); }
  termios LineSettings() const {
    termios settings{};
    tcgetattr(motors_.master(), &settings);
    return settings;
  }
  // Everything written so far, gathered until the line stays quiet.
  std::string Drain() const { return Text(motors_.ReadMaster(4096, 300ms)); }

  TemporaryFolder folder_;
  ScopedEnvironment list_;
  PtyPair motors_;
  UsbPort port_{"VX0001", 0};
};

TEST_F(UsbAdapter, OpensWithTheMotorLineSettings) {
  Open();
  EXPECT_TRUE(port_.IsOpen());
  const termios settings = LineSettings();
  EXPECT_EQ(cfgetospeed(&settings), speed_t{B38400});
  EXPECT_EQ(settings.c_cflag & CSIZE, tcflag_t{CS8});
  EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t{0});
  EXPECT_EQ(settings.c_iflag & (IXON | IXOFF), tcflag_t{0});
}

TEST_F(UsbAdapter, DoesNotOpenWithoutADevice) {
  EXPECT_FALSE(UsbPort().Open()) << "no index";
  EXPECT_FALSE(UsbPort("VX0002", 1).Open()) << "no device at that index";
  Open();
  UsbPort second("VX0001", 0);
  EXPECT_FALSE(second.Open()) << "the device is taken";
  EXPECT_FALSE(second.IsOpen());
  EXPECT_TRUE(port_.Open()) << "opening again closes the own handle first";
}

TEST_F(UsbAdapter, WritesAndReadsAnswers) {
  Open();
  port_.Write("\x80RP\r");
  EXPECT_EQ(Text(motors_.ReadMaster(4, 1s)), "\x80RP\r");

  ASSERT_TRUE(motors_.WriteMaster(Bytes("1234\r56")));
  EXPECT_EQ(port_.ReadLine(256, 500), "1234");
  EXPECT_EQ(port_.ReadBytes(10, 100), "56") << "what came within the time-out";
}

TEST_F(UsbAdapter, ALineStopsOneShortOfMax) {
  Open();
  ASSERT_TRUE(motors_.WriteMaster(Bytes("abcdef\r")));
  EXPECT_EQ(port_.ReadLine(4, 500), "abc");
  EXPECT_EQ(port_.ReadLine(256, 500), "def");
}

TEST_F(UsbAdapter, NothingReceivedIsError5) {
  Open();
  const auto start = Clock::now();
  EXPECT_EQ(ErrorCodeOf([&] { port_.ReadBytes(10, 80); }), 5u);
  EXPECT_GE(Clock::now() - start, 70ms);
  ASSERT_TRUE(motors_.WriteMaster(Bytes("part")));
  EXPECT_EQ(ErrorCodeOf([&] { port_.ReadLine(256, 80); }), 5u) << "a line without its CR";
}

TEST_F(UsbAdapter, AvailableCountsWaitingBytesAndFlushDropsThem) {
  Open();
  EXPECT_EQ(port_.Available(), 0u);
  ASSERT_TRUE(motors_.WriteMaster(Bytes("12345")));
  const auto deadline = Clock::now() + 2s;
  while (port_.Available() < 5 && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(port_.Available(), 5u);
  port_.Flush();
  EXPECT_EQ(port_.Available(), 0u);
}

TEST_F(UsbAdapter, AClosedPortRaisesTheUsbErrors) {
  EXPECT_EQ(ErrorCodeOf([&] { port_.Write("x"); }), 18u);
  EXPECT_EQ(ErrorCodeOf([&] { port_.ReadBytes(1, 0); }), 17u);
  EXPECT_EQ(ErrorCodeOf([&] { port_.ReadLine(10, 0); }), 17u);
  EXPECT_EQ(ErrorCodeOf([&] { port_.Available(); }), 46u);
  port_.Flush();  // nothing to flush is no error
}

TEST_F(UsbAdapter, AHungUpAdapterFailsReads) {
  Open();
  motors_.CloseMaster();
  EXPECT_EQ(ErrorCodeOf([&] { port_.ReadBytes(4, 100); }), 17u);
}

TEST_F(UsbAdapter, ChangeRateTellsTheMotorsFirst) {
  Open();
  port_.ChangeRate(9600);
  EXPECT_EQ(Drain(), "\x80" "BAUD9600\r");
  const termios settings = LineSettings();
  EXPECT_EQ(cfgetospeed(&settings), speed_t{B9600});
  EXPECT_EQ(ErrorCodeOf([&] { port_.ChangeRate(12345); }), 19u) << "a rate the adapter refuses";
}

TEST_F(UsbAdapter, SyncRateCallsAtEveryOtherRateThenSettlesAt38400) {
  Open();
  port_.SyncRate();
  const std::string perRate = "\x80WAKE\r\x80WAKE\r\x80IFX\r\x80WAKE\r\x80WAKE\r\x80" "BAUD38400\r";
  std::string expected;
  for (int rate = 0; rate < 5; ++rate) expected += perRate;
  expected += "\x80\r\x80" "ECHO_OFF\r";
  EXPECT_EQ(Drain(), expected);
  const termios settings = LineSettings();
  EXPECT_EQ(cfgetospeed(&settings), speed_t{B38400});
}

}  // namespace
}  // namespace velkor::engine
