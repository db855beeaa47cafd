// Faults a scenario injects, as the host on a pseudo-terminal meets them.
#include <gtest/gtest.h>

#include <chrono>

#include "host_port.h"
#include "sim/frontend/simulator.h"

namespace velkor::sim {
namespace {

using namespace std::chrono_literals;
using testing::Answers;
using testing::HostPort;

struct Running {
  std::unique_ptr<Simulator> simulator;
  std::unique_ptr<HostPort> host;
};

Running Start(const std::string& text) {
  Running running;
  ScenarioParse parsed = ParseScenario(text);
  EXPECT_TRUE(parsed.errors.empty()) << (parsed.errors.empty() ? "" : FormatError(parsed.errors[0]));
  std::string error;
  running.simulator = Simulator::Start(parsed.scenario, nullptr, error);
  EXPECT_TRUE(running.simulator) << error;
  if (running.simulator) running.host = std::make_unique<HostPort>(running.simulator->DevicePath(0));
  return running;
}

std::string Framed(int address, const std::string& text) {
  return std::string(1, static_cast<char>(128 + address)) + text + "\r";
}

TEST(FaultsOverPty, SilentMotorSendsNothingButStillListens) {
  Running run = Start("port chain\nmotor address=1\nfault motor=1 silent\n");
  ASSERT_TRUE(run.host);
  EXPECT_EQ(run.host->Exchange(1, "RBe"), "");
  run.host->Exchange(1, "SADDR4");
  run.simulator->WithMotor(0, 0, [](Firmware& motor) { EXPECT_EQ(motor.Address(), 4); });
}

TEST(FaultsOverPty, SilentMotorBreaksTheChainBehindIt) {
  Running run = Start("port chain\nmotor address=1\nmotor address=2\nfault motor=1 silent\n");
  ASSERT_TRUE(run.host);
  EXPECT_EQ(run.host->Exchange(2, "RBe"), "");
}

TEST(FaultsOverPty, EchoStopsShortOnceThenRecovers) {
  Running run = Start("port chain\nmotor address=1\nfault motor=1 echo-stops-after=3\n");
  ASSERT_TRUE(run.host);
  std::string sent = Framed(1, "RBe");
  // Three bytes echoed, then nothing more of that line; the command itself
  // was heard, so its answer still comes.
  EXPECT_TRUE(Answers(*run.host, 1, "RBe", sent.substr(0, 3) + "0\r"));
  EXPECT_TRUE(Answers(*run.host, 1, "RBe", sent + "0\r"));
}

TEST(FaultsOverPty, EchoWithOneAlteredByte) {
  Running run = Start("port chain\nmotor address=1\nfault motor=1 echo-alters-byte=3\n");
  ASSERT_TRUE(run.host);
  std::string sent = Framed(1, "RBe");
  std::string got = run.host->Exchange(1, "RBe", sent.size() + 2);
  ASSERT_EQ(got.size(), sent.size() + 2);
  EXPECT_EQ(got.substr(0, 2), sent.substr(0, 2));
  EXPECT_NE(got[2], sent[2]);
  EXPECT_EQ(got.substr(3), sent.substr(3) + "0\r");
  EXPECT_TRUE(Answers(*run.host, 1, "RBe", sent + "0\r"));
}

TEST(FaultsOverPty, SlowAnswersComeLate) {
  Running run = Start("port bus\nmotor address=1\nfault motor=1 answer-delay=300\n");
  ASSERT_TRUE(run.host);
  auto start = std::chrono::steady_clock::now();
  run.host->Send(1, "RBe");
  EXPECT_EQ(run.host->Read(2, 150ms), "");  // not yet
  EXPECT_EQ(run.host->ReadLine(3000ms), "0\r");
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

TEST(FaultsOverPty, MotorDropsOffMidCommand) {
  Running run = Start("port chain\nmotor address=1\nfault motor=1 drop-after=8\n");
  ASSERT_TRUE(run.host);
  std::string sent = Framed(1, "RBe");  // 5 bytes: heard whole
  EXPECT_TRUE(Answers(*run.host, 1, "RBe", sent + "0\r"));
  std::string got = run.host->Exchange(1, "RBe", 3);  // gone after 3 more bytes
  EXPECT_EQ(got, sent.substr(0, 3));
  EXPECT_EQ(run.host->Exchange(1, "RBe"), "");
}

}  // namespace
}  // namespace velkor::sim
