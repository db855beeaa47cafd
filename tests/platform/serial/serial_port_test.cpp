#include "platform/serial/serial_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <thread>

#include "pty_pair.h"

namespace velkor::serial {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::PtyPair;

// The kernel's exclusive mark of the terminal behind `fd`: 1 set, 0 clear.
int ExclusiveMark(int fd) {
  int mark = -1;
  return ::ioctl(fd, TIOCGEXCL, &mark) == 0 ? mark : -1;
}

// Far above any wait these tests expect, so a loaded machine cannot fail them,
// yet far below "hangs".
constexpr auto kGenerous = 3000ms;

class SerialPortPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    auto opened = SerialPort::Open(pty_.slavePath());
    ASSERT_TRUE(opened.ok()) << opened.error;
    port_ = std::move(opened.value);
  }

  Result<std::size_t> ReadInto(std::vector<std::uint8_t>& buffer) { return port_.Read(buffer); }

  // Bytes written to the master reach the slave's queue a moment later.
  void AwaitWaiting(std::size_t count) {
    const auto end = Clock::now() + kGenerous;
    while (Clock::now() < end) {
      auto waiting = port_.BytesWaiting();
      ASSERT_TRUE(waiting.ok());
      if (waiting.value >= count) return;
      std::this_thread::sleep_for(1ms);
    }
    FAIL() << "bytes never arrived";
  }

  PtyPair pty_;
  SerialPort port_;
};

TEST_F(SerialPortPty, EveryByteValueCrossesUnchangedBothWays) {
  std::vector<std::uint8_t> all(256);
  std::iota(all.begin(), all.end(), 0);
  ASSERT_TRUE(port_.SetTimeouts({0, 0, 2000, 0, 2000}).ok());

  auto written = port_.Write(all);
  ASSERT_TRUE(written.ok());
  EXPECT_EQ(written.value, all.size());
  EXPECT_EQ(pty_.ReadMaster(all.size(), kGenerous), all);

  ASSERT_TRUE(pty_.WriteMaster(all));
  std::vector<std::uint8_t> received(all.size());
  auto read = ReadInto(received);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.value, all.size());
  EXPECT_EQ(received, all);
}

TEST_F(SerialPortPty, TheOtherEndSeesTheRateAndStopBitsSet) {
  LineSettings settings;
  settings.baudRate = 19200;
  settings.stopBits = kTwoStopBits;
  settings.parity = Parity::Even;
  ASSERT_TRUE(port_.SetLineSettings(settings).ok());

  termios seen{};
  ASSERT_EQ(::tcgetattr(pty_.master(), &seen), 0);
  EXPECT_EQ(cfgetospeed(&seen), speed_t(B19200));
  EXPECT_TRUE(seen.c_cflag & CSTOPB);
  // A pseudo-terminal forces 8 data bits without parity; what it keeps is
  // what the layer reads back.
  auto current = port_.GetLineSettings();
  ASSERT_TRUE(current.ok());
  EXPECT_EQ(current.value.baudRate, 19200u);
  EXPECT_EQ(current.value.stopBits, kTwoStopBits);

  settings.baudRate = 57600;
  settings.stopBits = kOneStopBit;
  ASSERT_TRUE(port_.SetLineSettings(settings).ok());
  ASSERT_EQ(::tcgetattr(pty_.master(), &seen), 0);
  EXPECT_EQ(cfgetospeed(&seen), speed_t(B57600));
  EXPECT_FALSE(seen.c_cflag & CSTOPB);
}

TEST_F(SerialPortPty, RefusedSettingsLeaveTheLineAlone) {
  LineSettings settings;
  settings.baudRate = 38400;
  ASSERT_TRUE(port_.SetLineSettings(settings).ok());
  settings.baudRate = 14400;
  EXPECT_EQ(port_.SetLineSettings(settings).error, EINVAL);
  settings.baudRate = 9600;
  settings.dataBits = 9;
  EXPECT_EQ(port_.SetLineSettings(settings).error, EINVAL);
  EXPECT_EQ(port_.GetLineSettings().value.baudRate, 38400u);
}

TEST_F(SerialPortPty, ReadReturnsAsSoonAsTheBytesAreThere) {
  ASSERT_TRUE(port_.SetTimeouts({0, 0, 20000, 0, 0}).ok());
  std::thread sender([&] {
    std::this_thread::sleep_for(50ms);
    pty_.WriteMaster({'R', 'P', '\r'});
  });
  std::vector<std::uint8_t> buffer(3);
  const auto start = Clock::now();
  auto read = ReadInto(buffer);
  const auto took = Clock::now() - start;
  sender.join();
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.value, 3u);
  EXPECT_LT(took, kGenerous);
}

TEST_F(SerialPortPty, ReadComesBackShortWhenTheTotalRunsOut) {
  ASSERT_TRUE(port_.SetTimeouts({0, 10, 100, 0, 0}).ok());  // 10 x 10 + 100 ms
  ASSERT_TRUE(pty_.WriteMaster({1, 2}));
  std::vector<std::uint8_t> buffer(10);
  const auto start = Clock::now();
  auto read = ReadInto(buffer);
  const auto took = Clock::now() - start;
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.value, 2u);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[1], 2);
  EXPECT_GE(took, 200ms);
  EXPECT_LT(took, kGenerous);

  // Nothing at all is a successful read of nothing, not a failure.
  read = ReadInto(buffer);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.value, 0u);
}

TEST_F(SerialPortPty, GapBetweenBytesEndsTheReadOnceSomethingCame) {
  ASSERT_TRUE(port_.SetTimeouts({50, 0, 20000, 0, 0}).ok());
  ASSERT_TRUE(pty_.WriteMaster({'x'}));
  std::vector<std::uint8_t> buffer(10);
  const auto start = Clock::now();
  auto read = ReadInto(buffer);
  const auto took = Clock::now() - start;
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.value, 1u);
  EXPECT_GE(took, 50ms);
  EXPECT_LT(took, kGenerous);
}

TEST_F(SerialPortPty, ImmediateModeTakesWhatIsWaiting) {
  ASSERT_TRUE(port_.SetTimeouts({kNoWait, 0, 0, 0, 0}).ok());
  std::vector<std::uint8_t> buffer(10);
  const auto start = Clock::now();
  auto read = ReadInto(buffer);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.value, 0u);
  EXPECT_LT(Clock::now() - start, 1000ms);

  ASSERT_TRUE(pty_.WriteMaster({7, 8, 9}));
  AwaitWaiting(3);
  read = ReadInto(buffer);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read.value, 3u);
  EXPECT_EQ(buffer[2], 9);
}

TEST_F(SerialPortPty, WaitForFirstDataReturnsWithTheFirstArrival) {
  ASSERT_TRUE(port_.SetTimeouts({kNoWait, kNoWait, 20000, 0, 0}).ok());
  std::thread sender([&] {
    std::this_thread::sleep_for(50ms);
    pty_.WriteMaster({'a', 'b'});
  });
  std::vector<std::uint8_t> buffer(64);
  const auto start = Clock::now();
  auto read = ReadInto(buffer);
  const auto took = Clock::now() - start;
  sender.join();
  ASSERT_TRUE(read.ok());
  EXPECT_GE(read.value, 1u);
  EXPECT_LT(took, kGenerous);
}

TEST_F(SerialPortPty, WriteThatCannotFinishInTimeReturnsWhatItPlaced) {
  // Nobody reads the master, so the pair's buffer fills up.
  ASSERT_TRUE(port_.SetTimeouts({0, 0, 0, 0, 150}).ok());
  const std::vector<std::uint8_t> lots(4 << 20, 0x55);
  const auto start = Clock::now();
  auto written = port_.Write(lots);
  const auto took = Clock::now() - start;
  ASSERT_TRUE(written.ok());
  EXPECT_GT(written.value, 0u);
  EXPECT_LT(written.value, lots.size());
  EXPECT_GE(took, 150ms);
  EXPECT_LT(took, kGenerous);
}

TEST_F(SerialPortPty, BytesWaitingAndPurge) {
  ASSERT_TRUE(port_.SetQueueSizes(500, 500).ok());
  ASSERT_TRUE(pty_.WriteMaster({1, 2, 3, 4, 5}));
  AwaitWaiting(5);
  EXPECT_EQ(port_.BytesWaiting().value, 5u);
  ASSERT_TRUE(port_.Purge(kPurgeReceive | kPurgeSend).ok());
  EXPECT_EQ(port_.BytesWaiting().value, 0u);

  ASSERT_TRUE(port_.SetTimeouts({kNoWait, 0, 0, 0, 0}).ok());
  std::vector<std::uint8_t> buffer(8);
  EXPECT_EQ(ReadInto(buffer).value, 0u);
  EXPECT_EQ(port_.Purge(4).error, EINVAL);
}

TEST_F(SerialPortPty, APseudoTerminalReportsNoLineErrors) {
  auto errors = port_.TakeLineErrors();
  ASSERT_TRUE(errors.ok());
  EXPECT_FALSE(errors.value.any());
}

TEST_F(SerialPortPty, SecondOpenOfTheSamePortIsRefused) {
  auto second = SerialPort::Open(pty_.slavePath());
  EXPECT_FALSE(second.ok());
  EXPECT_EQ(second.error, EBUSY);
  // The refused opener must not take the first one's exclusivity with it.
  EXPECT_EQ(ExclusiveMark(port_.NativeHandle()), 1);
}

TEST_F(SerialPortPty, ClosedPortCanBeOpenedAgainWhileTheLineStaysUp) {
  // Another descriptor keeps the terminal alive across the close, as the
  // simulator's does; the exclusive mark must not outlive this layer's use.
  const int keeper = ::open(pty_.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(keeper, 0);
  EXPECT_EQ(ExclusiveMark(keeper), 1);
  port_.Close();
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(ExclusiveMark(keeper), 0);
  auto again = SerialPort::Open(pty_.slavePath());
  EXPECT_TRUE(again.ok()) << again.error;
  ::close(keeper);
}

TEST_F(SerialPortPty, MovedPortOwnsTheDescriptorAndClosesIt) {
  const int fd = port_.NativeHandle();
  ASSERT_GE(fd, 0);
  {
    SerialPort moved = std::move(port_);
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_EQ(port_.NativeHandle(), -1);
    EXPECT_EQ(moved.NativeHandle(), fd);
    EXPECT_TRUE(moved.Write(std::vector<std::uint8_t>{'z'}).ok());
  }
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // gone with the moved-to object
  EXPECT_TRUE(SerialPort::Open(pty_.slavePath()).ok());
}

TEST_F(SerialPortPty, HangUpFailsReadsAndWritesWithoutWaiting) {
  ASSERT_TRUE(port_.SetTimeouts({0, 0, 20000, 0, 20000}).ok());
  std::thread hangUp([&] {
    std::this_thread::sleep_for(50ms);
    pty_.CloseMaster();
  });
  std::vector<std::uint8_t> buffer(4);
  const auto start = Clock::now();
  auto read = ReadInto(buffer);
  const auto took = Clock::now() - start;
  hangUp.join();
  EXPECT_FALSE(read.ok());
  EXPECT_EQ(read.error, EIO);
  EXPECT_LT(took, kGenerous);

  auto errors = port_.TakeLineErrors();
  ASSERT_TRUE(errors.ok());
  EXPECT_TRUE(errors.value.ioError);
  EXPECT_FALSE(port_.Write(std::vector<std::uint8_t>{'x'}).ok());
}

TEST(SerialPortOpen, FailuresCarryTheReason) {
  EXPECT_EQ(SerialPort::Open("/dev/velkor-no-such-port").error, ENOENT);
  EXPECT_EQ(SerialPort::Open("LPT1").error, ENOENT);

  const auto file = std::filesystem::temp_directory_path() / ("velkor-not-a-port-" + std::to_string(::getpid()));
  std::ofstream(file) << "text";
  EXPECT_EQ(SerialPort::Open(file.string()).error, ENOTTY);
  std::filesystem::remove(file);
}

TEST(SerialPortOpen, ClosedPortRefusesEverything) {
  SerialPort closed;
  std::vector<std::uint8_t> buffer(4);
  EXPECT_EQ(closed.Read(buffer).error, EBADF);
  EXPECT_EQ(closed.Write(buffer).error, EBADF);
  EXPECT_EQ(closed.TakeLineErrors().error, EBADF);
  EXPECT_EQ(closed.SetLineSettings({}).error, EBADF);
  closed.Close();  // harmless
}

}  // namespace
}  // namespace velkor::serial
