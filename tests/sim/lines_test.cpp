// Line models in-process, with simulated time stepped by hand.
#include <gtest/gtest.h>

#include <string>

#include "sim/lines/line.h"

namespace velkor::sim {
namespace {

using namespace std::chrono_literals;

MotorSetup Motor(int address, int baud = 9600, FaultSet faults = {}) {
  MotorSetup setup;
  setup.config.address = address;
  setup.config.baud = baud;
  setup.faults = faults;
  return setup;
}

std::string Send(Line& line, const std::string& text, SimTime now = SimTime{0}, LineFormat port = {}) {
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  line.FromHost(bytes, port, now, out);
  return std::string(out.begin(), out.end());
}

TEST(ChainLine, AnswersTravelThroughTheMotorsAfterTheirSender) {
  auto line = MakeLine(Wiring::Chain, {Motor(1), Motor(2), Motor(3)});
  line->Motor(0).SetStatus('e', true);
  // Motor 1's answer leaves last: each later motor sends its own first.
  EXPECT_EQ(Send(*line, "\x80RBe\r"), "\x80RBe\r0\r0\r1\r");
  // What passes through a motor reaches its command interpreter too; an
  // answer is no command, so it only marks a command error there.
  EXPECT_EQ(line->Motor(2).Command("RBs"), "1\r");
  EXPECT_EQ(line->Motor(0).Command("RBs"), "0\r");
}

TEST(ChainLine, WrongRateInTheMiddleGarblesEverythingBehindIt) {
  auto line = MakeLine(Wiring::Chain, {Motor(1), Motor(2, 19200), Motor(3)});
  std::string got = Send(*line, "\x81RBe\r");
  ASSERT_EQ(got.size(), 7u);  // motor 1 answered, but through motor 2
  for (char c : got) EXPECT_GE(static_cast<unsigned char>(c), 0x80);
  // Motor 3 heard only garbage, so it never took a command.
  Send(*line, "\x80SADDR9\r");
  EXPECT_EQ(line->Motor(0).Address(), 9);
  EXPECT_EQ(line->Motor(1).Address(), 2);
  EXPECT_EQ(line->Motor(2).Address(), 3);
}

TEST(ChainLine, SlowAnswerHoldsBackWhatFollowsIt) {
  FaultSet slow;
  slow.answerDelay = 200ms;
  auto line = MakeLine(Wiring::Chain, {Motor(1, 9600, slow)});
  EXPECT_EQ(Send(*line, "\x81RBe\r"), "\x81RBe\r");
  EXPECT_EQ(Send(*line, "\x81RBt\r", 100ms), "");  // the echo waits behind the answer
  EXPECT_EQ(line->NextDue(), SimTime{200ms});
  std::vector<std::uint8_t> out;
  line->Advance(LineFormat{}, 200ms, out);
  EXPECT_EQ(std::string(out.begin(), out.end()), "0\r\x81RBt\r");
  out.clear();
  line->Advance(LineFormat{}, 300ms, out);  // its own answer is slow as well
  EXPECT_EQ(std::string(out.begin(), out.end()), "0\r");
}

TEST(BusLine, OverlappingAnswersOfDifferentLengths) {
  auto line = MakeLine(Wiring::Bus, {Motor(1), Motor(2)});
  line->Motor(0).Command("dd=7");
  line->Motor(1).Command("dd=123456");
  for (std::size_t i = 0; i < 2; ++i) line->Motor(i).Command("ECHO_OFF");
  std::string got = Send(*line, "\x80Rdd\r");
  ASSERT_EQ(got.size(), 7u);
  EXPECT_GE(static_cast<unsigned char>(got[0]), 0x80);
  EXPECT_GE(static_cast<unsigned char>(got[1]), 0x80);  // motor 1's CR against '2'
  EXPECT_EQ(got.substr(2), "3456\r");
  EXPECT_EQ(Send(*line, "\x82Rdd\r"), "123456\r");
}

TEST(BusLine, DominantBusHearsTheFirstSenderInWiringOrderOnly) {
  auto line = MakeLine(Wiring::Bus, {Motor(1), Motor(2), Motor(3)}, BusCollisions::FirstWins);
  line->Motor(0).Command("dd=7");
  line->Motor(1).Command("dd=123456");
  line->Motor(2).Command("dd=-55");
  for (std::size_t i = 0; i < 3; ++i) line->Motor(i).Command("ECHO_OFF");
  // The longer answers behind the winner leave no tail.
  EXPECT_EQ(Send(*line, "\x80Rdd\r"), "7\r");
  // A loser is only silenced to the end of its line: alone it is heard again.
  EXPECT_EQ(Send(*line, "\x82Rdd\r"), "123456\r");
  // Wiring order, not address, decides.
  line->Motor(0).Command("SADDR9");
  EXPECT_EQ(Send(*line, "\x80Rdd\r"), "7\r");
  EXPECT_EQ(Send(*line, "\x83Rdd\r"), "-55\r");
  // Two rounds in one write: each collision is decided afresh.
  EXPECT_EQ(Send(*line, "\x80Rdd\rRdd\r"), "7\r7\r");
}

TEST(BusLine, MotorsAtAnotherRateHearNothingUsable) {
  auto line = MakeLine(Wiring::Bus, {Motor(1, 19200), Motor(2, 9600)});
  for (std::size_t i = 0; i < 2; ++i) line->Motor(i).Command("ECHO_OFF");
  EXPECT_EQ(Send(*line, "\x80SADDR5\r", SimTime{0}, LineFormat{19200, '?'}), "");
  EXPECT_EQ(line->Motor(0).Address(), 5);
  EXPECT_EQ(line->Motor(1).Address(), 2);
  EXPECT_TRUE(Understands(LineFormat{9600, 'E'}, LineFormat{9600, '?'}));
  EXPECT_FALSE(Understands(LineFormat{9600, 'E'}, LineFormat{9600, 'O'}));
  EXPECT_TRUE(Understands(LineFormat{9600, 'I'}, LineFormat{9600, 'O'}));
}

}  // namespace
}  // namespace velkor::sim
