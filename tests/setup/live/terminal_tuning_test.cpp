// The terminal, the tuning buttons and slider, and the session that carries
// every exchange, against a simulated motor through the engine.

#include <gtest/gtest.h>

#include <atomic>

#include "setup/live/session.h"
#include "setup/live/terminal.h"
#include "setup/live/tuning.h"
#include "tests/setup/live/selected_motor.h"

namespace velkor::setup {
namespace {

using LiveTest = testing::SelectedMotor;

TEST_F(LiveTest, TerminalRefusesRateChangesAndShowsTheAnswer) {
  for (const char* command : {"1BAUD19200", "BAUD9600"}) {
    EXPECT_FALSE(TerminalEnter(command, *channel_, view_));
    EXPECT_EQ(view_.messages.back(), (Message{"Terminal Window", "Use Drop Down to Select new BaudRate", Icon::Exclamation}));
  }
  EXPECT_TRUE(Sent().empty()) << "nothing reached the motor";
  SetVariable(0, "a", 77);
  EXPECT_TRUE(TerminalEnter("Ra", *channel_, view_));
  EXPECT_EQ(view_.texts["ResponseText"], "77");
  EXPECT_EQ(view_.focus, "CommandText") << "ready for the next command";
}

TEST_F(LiveTest, DefaultTuningSendsEachGainThenF) {
  CommandLog log(view_);
  SendGains(kFactoryGains, kDefaultTuningHeader, *channel_, log, view_);
  const engine::testing::Lines sent = Sent();
  const engine::testing::Lines expected = {">:Default Tuning Values Sent To Motor:", "KP=42", "KI=28", "KD=550", "KV=0",
                                           "KA=0", "KL=20", "KG=0", "F"};
  ASSERT_GE(sent.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), sent.end() - static_cast<std::ptrdiff_t>(expected.size())));
  EXPECT_EQ(log.Text(), "Start: \r\n>:Default Tuning Values Sent To Motor:\r\nKP=42\r\nKI=28\r\nKD=550\r\nKV=0\r\n"
                        "KA=0\r\nKL=20\r\nKG=0\r\nF\r\n");
  EXPECT_EQ(view_.texts[std::string(CommandLog::kControl)], log.Text());
  EXPECT_EQ(view_.messages.back().title, "Tuning Value Sent To Motor");
  ExpectVariable(0, "a", 0);  // the motor took the lines without harm
}

TEST(Tuning, SliderSetsFourGainsInProportion) {
  const Gains start = {"99", "1", "2", "3", "4", "55", "-7"};
  EXPECT_EQ(SliderGains(100, start), (Gains{"99", "92", "1266", "400", "450", "55", "-7"}));
  EXPECT_EQ(SliderGains(250, start), (Gains{"99", "256", "3117", "1150", "1450", "55", "-7"})) << "255.5 to even";
  EXPECT_EQ(SliderGains(10, start)[1], "0");
}

TEST(MotorSession, JobsRunInOrderAndTicksNeverQueueBehindThem) {
  MotorSession session;
  std::vector<int> order;
  std::atomic<bool> release{false};
  session.Post([&] {
    while (!release) std::this_thread::yield();
    order.push_back(1);
  });
  session.Post([&] { order.push_back(2); });
  EXPECT_FALSE(session.PostTick([&] { order.push_back(99); })) << "a poll waits for no one";
  release = true;
  session.Drain();
  EXPECT_TRUE(session.PostTick([&] { order.push_back(3); }));
  session.Drain();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace velkor::setup
