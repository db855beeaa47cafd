// Faults a scenario injects, as the host on a pseudo-terminal meets them.
#include <gtest/gtest.h>

#include <chrono>

#include "host_port.h"

namespace velkor::sim {
namespace {

using namespace std::chrono_literals;
using testing::Answers;
using testing::Framed;
using testing::HostPort;

class FaultsOverPty : public ::testing::Test {
 protected:
  void Start(const std::string& text) {
    simulator_ = testing::StartScenario(text);
    ASSERT_TRUE(simulator_);
    host_ = std::make_unique<HostPort>(simulator_->DevicePath(0));
    ASSERT_TRUE(host_->IsOpen());
  }
  std::unique_ptr<Simulator> simulator_;
  std::unique_ptr<HostPort> host_;
  const std::string sent_ = Framed(1, "RBe");
};

TEST_F(FaultsOverPty, SilentMotorSendsNothingBlocksTheChainButListens) {
  ASSERT_NO_FATAL_FAILURE(Start("port chain\nmotor address=1\nmotor address=2\nfault motor=1 silent\n"));
  EXPECT_EQ(host_->Exchange(1, "RBe"), "");
  EXPECT_EQ(host_->Exchange(2, "RBe"), "");  // motor 2's answer passes through motor 1
  host_->Exchange(1, "SADDR4");
  simulator_->WithMotor(0, 0, [](Firmware& motor) { EXPECT_EQ(motor.Address(), 4); });
}

TEST_F(FaultsOverPty, EchoStopsShortOnceThenRecovers) {
  ASSERT_NO_FATAL_FAILURE(Start("port chain\nmotor address=1\nfault motor=1 echo-stops-after=3\n"));
  // The command was heard whole, so its answer still comes.
  EXPECT_TRUE(Answers(*host_, 1, "RBe", sent_.substr(0, 3) + "0\r"));
  EXPECT_TRUE(Answers(*host_, 1, "RBe", sent_ + "0\r"));
}

TEST_F(FaultsOverPty, EchoWithOneAlteredByte) {
  ASSERT_NO_FATAL_FAILURE(Start("port chain\nmotor address=1\nfault motor=1 echo-alters-byte=3\n"));
  std::string got = host_->Exchange(1, "RBe", sent_.size() + 2);
  ASSERT_EQ(got.size(), sent_.size() + 2);
  EXPECT_EQ(got.substr(0, 2), sent_.substr(0, 2));
  EXPECT_NE(got[2], sent_[2]);
  EXPECT_EQ(got.substr(3), sent_.substr(3) + "0\r");
  EXPECT_TRUE(Answers(*host_, 1, "RBe", sent_ + "0\r"));
}

TEST_F(FaultsOverPty, SlowAnswersComeLate) {
  ASSERT_NO_FATAL_FAILURE(Start("port bus\nmotor address=1\nfault motor=1 answer-delay=300\n"));
  auto start = std::chrono::steady_clock::now();
  host_->Send(1, "RBe");
  EXPECT_EQ(host_->Read(2, 150ms), "");  // not yet
  EXPECT_EQ(host_->ReadLine(3000ms), "0\r");
  EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
}

TEST_F(FaultsOverPty, MotorDropsOffMidCommand) {
  ASSERT_NO_FATAL_FAILURE(Start("port chain\nmotor address=1\nfault motor=1 drop-after=8\n"));
  EXPECT_TRUE(Answers(*host_, 1, "RBe", sent_ + "0\r"));  // 5 bytes: heard whole
  EXPECT_EQ(host_->Exchange(1, "RBe", 3), sent_.substr(0, 3));  // gone after 3 more bytes
  EXPECT_EQ(host_->Exchange(1, "RBe"), "");
}

}  // namespace
}  // namespace velkor::sim
