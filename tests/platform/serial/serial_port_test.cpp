#include "platform/serial/serial_port.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>

#include "pty_pair.h"
#include "tests/support/test_environment.h"

namespace velkor::serial {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

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

  // Bytes written to the master reach the slave's queue a moment later.
  void AwaitWaiting(std::size_t count) {
    const auto end = Clock::now() + kGenerous;
    while (port_.BytesWaiting().value < count && Clock::now() < end) std::this_thread::sleep_for(1ms);
    ASSERT_GE(port_.BytesWaiting().value, count) << "bytes never arrived";
  }

  testing::PtyPair pty_;
  SerialPort port_;
};

TEST_F(SerialPortPty, EveryByteValueCrossesUnchangedBothWays) {
  Bytes all(256);
  std::iota(all.begin(), all.end(), 0);
  ASSERT_TRUE(port_.SetTimeouts({0, 0, 2000, 0, 2000}).ok());
  EXPECT_EQ(port_.Write(all).value, all.size());
  EXPECT_EQ(pty_.ReadMaster(all.size(), kGenerous), all);

  ASSERT_TRUE(pty_.WriteMaster(all));
  Bytes received(all.size());
  EXPECT_EQ(port_.Read(received).value, all.size());
  EXPECT_EQ(received, all);
  // A pseudo-terminal has no error counters and reports no line errors.
  auto errors = port_.TakeLineErrors();
  ASSERT_TRUE(errors.ok());
  EXPECT_FALSE(errors.value.any());
}

TEST_F(SerialPortPty, SettingsReachTheLineAndRefusedOnesLeaveItAlone) {
  LineSettings settings{.baudRate = 19200, .parity = Parity::Even, .stopBits = kTwoStopBits};
  ASSERT_TRUE(port_.SetLineSettings(settings).ok());
  termios seen{};
  ASSERT_EQ(::tcgetattr(pty_.master(), &seen), 0);
  EXPECT_EQ(cfgetospeed(&seen), speed_t(B19200));
  EXPECT_TRUE(seen.c_cflag & CSTOPB);
  // A pseudo-terminal forces 8 data bits without parity; what it keeps is
  // what the layer reads back.
  EXPECT_EQ(port_.GetLineSettings().value.baudRate, 19200u);
  EXPECT_EQ(port_.GetLineSettings().value.stopBits, kTwoStopBits);

  EXPECT_EQ(port_.SetLineSettings({.baudRate = 14400}).error, EINVAL);
  EXPECT_EQ(port_.SetLineSettings({.dataBits = 9}).error, EINVAL);
  EXPECT_EQ(port_.GetLineSettings().value.baudRate, 19200u);

  ASSERT_TRUE(port_.SetLineSettings({.baudRate = 57600}).ok());
  ASSERT_EQ(::tcgetattr(pty_.master(), &seen), 0);
  EXPECT_EQ(cfgetospeed(&seen), speed_t(B57600));
  EXPECT_FALSE(seen.c_cflag & CSTOPB);
}

TEST_F(SerialPortPty, ReadsEndAsTheirTimeOutsSay) {
  // `early` waits before the read starts, `late` comes 50 ms into it. The
  // totals of 20 s are there to be cut short.
  struct Case {
    const char* what;
    Timeouts timeouts;
    Bytes early, late;
    std::size_t wanted;
    std::size_t expected;
    std::chrono::milliseconds atLeast;
  } const cases[] = {
      {"all bytes came", {0, 0, 20000, 0, 0}, {}, {'R', 'P', '\r'}, 3, 3, 0ms},
      {"total of 10 x 10 + 100 ms ran out", {0, 10, 100, 0, 0}, {1, 2}, {}, 10, 2, 200ms},
      {"nothing came: no failure", {0, 10, 100, 0, 0}, {}, {}, 10, 0, 200ms},
      {"gap after the first byte", {50, 0, 20000, 0, 0}, {'x'}, {}, 10, 1, 50ms},
      {"immediate, nothing waiting", {kNoWait, 0, 0, 0, 0}, {}, {}, 10, 0, 0ms},
      {"immediate takes what waits", {kNoWait, 0, 0, 0, 0}, {7, 8, 9}, {}, 10, 3, 0ms},
      {"first data ends the wait", {kNoWait, kNoWait, 20000, 0, 0}, {}, {'a'}, 64, 1, 0ms},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(port_.SetTimeouts(c.timeouts).ok());
    ASSERT_TRUE(pty_.WriteMaster(c.early));
    AwaitWaiting(c.early.size());
    std::thread sender([&] {
      std::this_thread::sleep_for(50ms);
      pty_.WriteMaster(c.late);
    });
    Bytes buffer(c.wanted);
    const auto start = Clock::now();
    auto read = port_.Read(buffer);
    const auto took = Clock::now() - start;
    sender.join();
    ASSERT_TRUE(read.ok()) << read.error;
    Bytes sent = c.early;
    sent.insert(sent.end(), c.late.begin(), c.late.end());
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(read.value)), sent);
    EXPECT_GE(took, c.atLeast);
    EXPECT_LT(took, kGenerous);
    ASSERT_TRUE(port_.Purge(kPurgeReceive).ok());
  }
}

TEST_F(SerialPortPty, WriteThatCannotFinishInTimeReturnsWhatItPlaced) {
  // Nobody reads the master, so the pair's buffer fills up.
  ASSERT_TRUE(port_.SetTimeouts({0, 0, 0, 0, 150}).ok());
  const Bytes lots(4 << 20, 0x55);
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
  ASSERT_TRUE(pty_.WriteMaster({1, 2, 3, 4, 5}));
  AwaitWaiting(5);
  EXPECT_EQ(port_.BytesWaiting().value, 5u);
  ASSERT_TRUE(port_.Purge(kPurgeReceive | kPurgeSend).ok());
  EXPECT_EQ(port_.BytesWaiting().value, 0u);
  EXPECT_EQ(port_.Purge(4).error, EINVAL);
}

TEST_F(SerialPortPty, ThePortIsExclusiveWhileOpenAndFreeOnceClosed) {
  EXPECT_EQ(SerialPort::Open(pty_.slavePath()).error, EBUSY);
  // The refused opener must not take the first one's exclusivity with it.
  EXPECT_EQ(ExclusiveMark(port_.NativeHandle()), 1);

  // Another descriptor keeps the terminal alive across the close, as the
  // simulator's does; the exclusive mark must not outlive this layer's use.
  // Only root may open a terminal that is marked exclusive.
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to open the port a second time";
  const int keeper = ::open(pty_.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(keeper, 0);
  port_.Close();
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_EQ(ExclusiveMark(keeper), 0);
  EXPECT_TRUE(SerialPort::Open(pty_.slavePath()).ok());
  ::close(keeper);
}

TEST_F(SerialPortPty, MovedPortOwnsTheDescriptorAndClosesIt) {
  const int fd = port_.NativeHandle();
  {
    SerialPort moved = std::move(port_);
    EXPECT_EQ(port_.NativeHandle(), -1);
    EXPECT_EQ(moved.NativeHandle(), fd);
    EXPECT_TRUE(moved.Write(Bytes{'z'}).ok());
  }
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // gone with the moved-to object, and so is its mark
  const int keeper = ::open(pty_.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  EXPECT_EQ(ExclusiveMark(keeper), 0);
  if (keeper >= 0) ::close(keeper);
}

TEST_F(SerialPortPty, HangUpFailsReadsAndWritesWithoutWaiting) {
  ASSERT_TRUE(port_.SetTimeouts({0, 0, 20000, 0, 20000}).ok());
  std::thread hangUp([&] {
    std::this_thread::sleep_for(50ms);
    pty_.CloseMaster();
  });
  Bytes buffer(4);
  const auto start = Clock::now();
  auto read = port_.Read(buffer);
  const auto took = Clock::now() - start;
  hangUp.join();
  EXPECT_EQ(read.error, EIO);
  EXPECT_LT(took, kGenerous);
  EXPECT_TRUE(port_.TakeLineErrors().value.ioError);
  EXPECT_FALSE(port_.Write(Bytes{'x'}).ok());
}

TEST(SerialPortOpen, FailuresCarryTheReason) {
  EXPECT_EQ(SerialPort::Open("/dev/velkor-no-such-port").error, ENOENT);
  EXPECT_EQ(SerialPort::Open("LPT1").error, ENOENT);
  ::velkor::testing::TemporaryFolder folder;
  ::velkor::testing::WriteFile(folder / "not-a-port", "text");
  EXPECT_EQ(SerialPort::Open((folder / "not-a-port").string()).error, ENOTTY);

  SerialPort closed;
  Bytes buffer(4);
  EXPECT_EQ(closed.Read(buffer).error, EBADF);
  EXPECT_EQ(closed.Write(buffer).error, EBADF);
  EXPECT_EQ(closed.TakeLineErrors().error, EBADF);
  EXPECT_EQ(closed.SetLineSettings({}).error, EBADF);
  closed.Close();  // harmless
}

}  // namespace
}  // namespace velkor::serial
