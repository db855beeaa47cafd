// The simulator through real pseudo-terminals, at byte level: what a host on
// the other end of a serial port sees.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "host_port.h"

namespace velkor::sim {
namespace {

using namespace std::chrono_literals;
using testing::AllGarbage;
using testing::Answers;
using testing::Framed;
using testing::HostPort;
using testing::StartScenario;

// Sends a command on an echoing line, checks the whole echo, returns the answer.
std::string Ask(HostPort& host, int address, const std::string& text) {
  std::string sent = Framed(address, text);
  host.Write(sent);
  EXPECT_EQ(host.Read(sent.size()), sent);
  return host.ReadLine();
}

TEST(ChainOverPty, AddressBytesSelectOneMotorAndThePortSurvivesAClose) {
  auto simulator = StartScenario(
      "port chain\n"
      "motor address=1 firmware=441\n"
      "motor address=2 firmware=452\n"
      "motor address=3 firmware=463\n");
  ASSERT_TRUE(simulator);
  {
    HostPort host(simulator->DevicePath(0));
    ASSERT_TRUE(host.IsOpen());
    EXPECT_EQ(Ask(host, 2, "RSP"), "24576/452\r");
    EXPECT_EQ(Ask(host, 3, "RSP"), "24576/463\r");
    EXPECT_EQ(Ask(host, -1, "RSP"), "24576/463\r");  // without an address byte the last selection holds
    EXPECT_EQ(Ask(host, 1, "RSP"), "24576/441\r");
    // Address 0 is everyone: each motor's answer travels on down the chain.
    host.Write(Framed(0, "RBe"));
    EXPECT_EQ(host.Drain(), Framed(0, "RBe") + "0\r0\r0\r");
    simulator->WithMotor(0, 1, [](Firmware& motor) { EXPECT_TRUE(motor.SetStatus('e', true)); });
  }
  HostPort again(simulator->DevicePath(0));
  ASSERT_TRUE(again.IsOpen());
  EXPECT_EQ(Ask(again, 2, "RBe"), "1\r");
}

// The chain address set-up as a host runs it: every motor at address 0, echo
// off; each "SADDR" is taken by the first motor still at 0; the host knows it
// has reached the end when the whole chain echoes.
TEST(ChainOverPty, OnlyEchoingMotorsPassTextOn) {
  auto simulator = StartScenario("port chain\nmotor\nmotor\nmotor\n");
  ASSERT_TRUE(simulator);
  HostPort host(simulator->DevicePath(0));
  ASSERT_TRUE(host.IsOpen());
  host.Write(Framed(0, "SADDR0") + Framed(0, "ECHO_OFF"));
  host.Drain();
  int found = 0;
  for (int n = 0; n < 5 && found == 0; ++n) {
    host.Write(Framed(0, "SADDR" + std::to_string(n + 1)) + Framed(n + 1, "ECHO"));
    host.Drain(100ms);
    std::string sleep = Framed(n + 1, "SLEEP");
    host.Write(sleep);
    std::string echo = host.Read(sleep.size(), 300ms);
    if (echo == sleep) found = n + 1;
  }
  EXPECT_EQ(found, 3);
  for (std::size_t m = 0; m < 3; ++m) {
    simulator->WithMotor(0, m, [&](Firmware& motor) {
      EXPECT_EQ(motor.Address(), static_cast<int>(m + 1));
      EXPECT_TRUE(motor.Asleep(0));
    });
  }
  // Motor 2 stops echoing: motor 3 hears nothing more and the host sees nothing.
  host.Write(Framed(0, "WAKE") + Framed(2, "ECHO_OFF"));
  host.Drain();
  host.Write(Framed(3, "SADDR9"));
  EXPECT_EQ(host.Drain(), "");
  simulator->WithMotor(0, 2, [](Firmware& motor) { EXPECT_EQ(motor.Address(), 3); });
  simulator->WithMotor(0, 1, [](Firmware& motor) { EXPECT_FALSE(motor.EchoOn(0)); });
}

TEST(ChainOverPty, RateMismatchGivesGarbageUntilThePortFollows) {
  auto simulator = StartScenario("port chain\nmotor address=1 baud=19200\n");
  ASSERT_TRUE(simulator);
  HostPort host(simulator->DevicePath(0), B9600);
  ASSERT_TRUE(host.IsOpen());
  std::string sent = Framed(1, "RBe");
  host.Write(sent);
  std::string got = host.Drain();
  EXPECT_EQ(got.size(), sent.size());  // every character came back, as garbage
  EXPECT_TRUE(AllGarbage(got));
  EXPECT_EQ(got.find('\r'), std::string::npos);
  host.SetSpeed(B19200);
  EXPECT_EQ(Ask(host, 1, "RBe"), "0\r");
  // The motor moves to another rate when told; its answer to that command is
  // the last thing heard at the old one.
  host.Write(Framed(1, "BAUD38400"));
  EXPECT_EQ(host.Read(Framed(1, "BAUD38400").size()), Framed(1, "BAUD38400"));
  std::string garbled = host.Exchange(1, "RBe", 1);
  EXPECT_TRUE(AllGarbage(garbled));
  host.SetSpeed(B38400);
  EXPECT_EQ(Ask(host, 1, "RBe"), "0\r");
}

// The host's rate synchronisation: each step tells the motors listening at the
// port's rate to move to the next rate, and the port follows; every reachable
// motor ends at the last rate, whatever rate it started at.
TEST(ChainOverPty, MotorsFollowThePortThroughTheRateSteps) {
  auto simulator = StartScenario("port chain\nmotor address=1 baud=4800\nmotor address=2 baud=38400\n");
  ASSERT_TRUE(simulator);
  HostPort host(simulator->DevicePath(0), B9600);
  ASSERT_TRUE(host.IsOpen());
  struct Step {
    int baud;
    speed_t speed;
  };
  const Step steps[] = {{38400, B38400}, {9600, B9600}, {19200, B19200}, {4800, B4800}, {2400, B2400}};
  bool echoes = false;
  for (int pass = 0; pass < 3 && !echoes; ++pass) {
    for (const Step& step : steps) {
      host.Write(Framed(0, "WAKE") + Framed(0, "WAKE") + Framed(0, "BAUD" + std::to_string(step.baud)));
      host.Drain(60ms);  // the bytes are on their way before the port moves
      host.SetSpeed(step.speed);
    }
    host.Write(Framed(0, "WAKE") + Framed(0, "WAKE") + Framed(0, "ECHO"));
    echoes = host.Drain(100ms).find("WAKE") != std::string::npos;
  }
  EXPECT_TRUE(echoes);
  host.Write(Framed(0, "BAUD9600"));
  host.Drain(60ms);
  host.SetSpeed(B9600);
  host.Drain(60ms);
  EXPECT_EQ(Ask(host, 1, "RBe"), "0\r");
  EXPECT_EQ(Ask(host, 2, "RBe"), "0\r");
}

TEST(BusOverPty, SecondChannelTakesTheOneForms) {
  auto simulator = StartScenario("port bus\nmotor address=1 channel=1 echo=on baud=19200\n");
  ASSERT_TRUE(simulator);
  HostPort host(simulator->DevicePath(0), B19200);
  ASSERT_TRUE(host.IsOpen());
  EXPECT_TRUE(Answers(host, 1, "ECHO_OFF", Framed(1, "ECHO_OFF")));  // the main channel's: no effect here
  EXPECT_TRUE(Answers(host, 1, "ECHO_OFF1", Framed(1, "ECHO_OFF1")));
  EXPECT_TRUE(Answers(host, 1, "RBe", "0\r"));
  host.Exchange(1, "SLEEP1");
  EXPECT_EQ(host.Exchange(1, "RBe"), "");
  host.Exchange(0, "WAKE1");
  EXPECT_TRUE(Answers(host, 1, "RBe", "0\r"));
  host.Exchange(0, "OCHN(RS4,1,N,9600,1,8,C)");
  EXPECT_TRUE(AllGarbage(host.Exchange(1, "RBe", 1)));
  host.SetSpeed(B9600);
  EXPECT_TRUE(Answers(host, 1, "RBe", "0\r"));
}

// A non-root host that opens the port exclusively must be able to open it
// again after closing it, although the simulator keeps the pair open.
TEST(ChainOverPty, ExclusiveHostCanReopen) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  auto simulator = StartScenario("port chain\nmotor address=1\n");
  ASSERT_TRUE(simulator);
  const std::string device = simulator->DevicePath(0);
  ASSERT_EQ(::chmod(device.c_str(), 0666), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0 || ::ioctl(fd, TIOCEXCL) != 0) ::_exit(3);
    ::close(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
      fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
      if (fd >= 0) ::_exit(0);
      ::usleep(20000);  // the simulator clears the mark as soon as it sees the close
    }
    ::_exit(4);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(BusOverPty, CollisionsNeverGiveACleanAnswer) {
  auto simulator = StartScenario(
      "port bus\n"
      "motor address=1 serial=A100\n"
      "motor address=2 serial=A100\n"
      "motor address=3 serial=A7\n");
  ASSERT_TRUE(simulator);
  HostPort host(simulator->DevicePath(0));
  ASSERT_TRUE(host.IsOpen());
  // One motor addressed: a clean answer, and no echo on a bus.
  EXPECT_TRUE(Answers(host, 2, "RBe", "0\r"));
  // Everyone answers the same text at once: garbage, not "0\r".
  std::string merged = host.Exchange(0, "RBe", 1);
  EXPECT_FALSE(merged.empty());
  EXPECT_TRUE(AllGarbage(merged));
  // Answers of different lengths: the tail of the longer one is clear, the
  // start never is.
  host.Exchange(0, "EPTR=32256 VLD(dd,1)");
  std::string serials = host.Exchange(0, "Rdd", 1);
  ASSERT_FALSE(serials.empty());
  EXPECT_GE(static_cast<unsigned char>(serials[0]), 0x80);
  // A bus motor that echoes collides with the answering one.
  host.Exchange(3, "ECHO");
  std::string mixed = host.Exchange(1, "RBe", 1);
  EXPECT_NE(mixed, Framed(1, "RBe") + "0\r");
  EXPECT_NE(mixed.substr(mixed.size() >= 2 ? mixed.size() - 2 : 0), "0\r");
}

// With a clock of its own the test steps a move exactly, through the port.
TEST(ChainOverPty, TrajectoryFollowsAClockTheTestSteps) {
  std::atomic<std::int64_t> milliseconds{0};
  auto simulator = StartScenario("port chain\nmotor address=1\n",
                                 {nullptr, [&] { return SimTime{std::chrono::milliseconds(milliseconds.load())}; }, {}});
  ASSERT_TRUE(simulator);
  HostPort host(simulator->DevicePath(0));
  ASSERT_TRUE(host.IsOpen());
  Ask(host, 1, "MP P=1000 V=16106 A=8");  // 1000 counts/s, 2021 counts/s^2
  Ask(host, 1, "G");
  EXPECT_EQ(Ask(host, 1, "RBt"), "1\r");
  EXPECT_EQ(Ask(host, 1, "RP"), "0\r");
  milliseconds = 500;  // 0.5 s ramp, then cruising
  int halfway = std::stoi(Ask(host, 1, "RP"));
  EXPECT_GE(halfway, 245);
  EXPECT_LE(halfway, 255);
  EXPECT_EQ(Ask(host, 1, "RV"), "16106\r");
  milliseconds = 1700;
  EXPECT_EQ(Ask(host, 1, "RP RBt"), "1000\r");
  EXPECT_EQ(host.ReadLine(), "0\r");
}

}  // namespace
}  // namespace velkor::sim
