// The status poll: its decoding without a motor, its countdowns against a
// scripted channel, and whole ticks against a simulated motor.

#include <gtest/gtest.h>

#include <map>

#include "setup/live/status_monitor.h"
#include "setup/transfer/engine_channel.h"
#include "tests/setup/live/selected_motor.h"
#include "tests/setup/recording_view.h"
#include "tests/setup/scripted_channel.h"

namespace velkor::setup {
namespace {

using testing::ScriptedChannel;

TEST(StatusDecode, ReadingsShowInUserUnits) {
  AxisSettings settings;  // 2000 counts per mm, three decimals
  EXPECT_EQ(PositionText(4000, settings), "2");
  EXPECT_EQ(PositionText(-1000, settings), "-0.5");
  // 32213 velocity units are 2000.0008 counts/s: 1 mm/s at three decimals.
  EXPECT_EQ(SpeedText(32213, settings), "1");
  EXPECT_EQ(AccelText(7917, settings), "1000.045");  // 7917 x 252.632... / 2000
  settings.unit = Unit::Degree;
  EXPECT_EQ(SpeedText(32213, settings), std::nullopt) << "no resolution reported yet";
  settings.motorInfo[3] = "2000";
  EXPECT_EQ(SpeedText(32213, settings), "360.005");
  settings.decPlaces = 1;
  EXPECT_EQ(SpeedText(32213, settings), "360");
  settings.unit = Unit::Revolution;
  EXPECT_EQ(SpeedText(32213, settings), "1");
  EXPECT_EQ(ReplyNumber("-17\r"), -17);
  EXPECT_EQ(ReplyNumber("Bs"), std::nullopt);
}

TEST(StatusDecode, ModeTableAsksOnlyWhatTheModeNeeds) {
  std::map<std::string, std::string> bits;
  std::vector<std::string> asked;
  const Ask ask = [&](std::string_view command) -> std::optional<std::string> {
    asked.emplace_back(command);
    const auto bit = bits.find(std::string(command));
    return bit == bits.end() ? std::optional<std::string>("0") : bit->second;
  };
  using L = ModeLabels;
  EXPECT_EQ(DecodeMode("P", ask), (L{"Absolute", "Holding Position"}));
  EXPECT_EQ(DecodeMode("F", ask), (L{"Follow", std::nullopt})) << "a follower at rest keeps its state";
  EXPECT_EQ(DecodeMode("O", ask), (L{"Off", "Drive Off"}));
  EXPECT_EQ(DecodeMode("E", ask), (L{"Error", std::nullopt}));
  EXPECT_EQ(DecodeMode("S", ask), (L{"Step", "Step Mode"}));
  EXPECT_EQ(DecodeMode("V", ask), (L{"Velocity", "Velocity Mode"}));
  EXPECT_EQ(DecodeMode("B", ask), (L{"MTB", "Torque Break Mode"}));
  EXPECT_EQ(DecodeMode("H", ask), L{});
  EXPECT_EQ(DecodeMode("", ask), L{});
  bits = {{" RBt", "1"}, {" RBh", "1"}, {" RT", "-512"}};
  EXPECT_EQ(DecodeMode("R", ask), (L{"Relative", "Moving"}));
  EXPECT_EQ(DecodeMode("F", ask), (L{"Follow", "Moving"}));
  EXPECT_EQ(DecodeMode("E", ask), (L{"Error", "Over Temp"}));
  EXPECT_EQ(DecodeMode("T\r", ask), (L{"Torque", "Torque Mode, T=-512"}));
  bits[" RBe"] = "1";
  EXPECT_EQ(DecodeMode("E", ask), (L{"Error", "Pos. Error"}));
  asked.clear();
  DecodeMode("V", ask);
  EXPECT_TRUE(asked.empty());
}

TEST(StatusDecode, InputsInBothFirmwareFormsSelectAndPaintOneFunction) {
  // Inputs read 1 when open; A and C pulled low select function 5.
  const InputReading word = InputsFromWord(127 - 1 - 4);
  EXPECT_EQ(word.selector, 5);
  EXPECT_EQ(word.fill, (std::array<int, 7>{kFilled, kHollow, kFilled, kHollow, kHollow, kHollow, kHollow}));
  EXPECT_EQ(InputsFromLevels({0, 1, 0, 1, 1, 1, 1}), word);
  EXPECT_EQ(InputsFromWord(127).selector, 0);
  EXPECT_EQ(InputsFromWord(0).selector, 15);

  testing::RecordingView view;
  ShowInputs(word, view);
  EXPECT_EQ(view.texts["bcdi"], "5");
  EXPECT_TRUE(view.checks["InputLight(1)"]);
  EXPECT_FALSE(view.checks["InputLight(2)"]);
  const std::map<std::string, unsigned> painted = {{"PosIndex(5)", kYellow}, {"Motion(5)", kLightGreen},
                                                   {"PrePos(5)", kLightGreen}, {"PreVel(5)", kLightGreen},
                                                   {"PreAcc(5)", kLightGreen}};
  EXPECT_EQ(view.coloured, painted);
  InputReading go = InputsFromWord(127 - 2 - 64);  // B and G active
  ShowInputs(go, view);
  EXPECT_EQ(view.coloured, (std::map<std::string, unsigned>{{"PosIndex(2)", kYellow}})) << "function 5 painted back";
  view.SetColour("Motion(7)", kYellow);  // a test move of function 7 under way
  ShowInputs(go, view, 7);
  EXPECT_EQ(view.coloured.at("Motion(7)"), kYellow) << "the held function keeps its colours";
}

TEST(StatusTick, CountsTicksFeedsTheClockAndRunsTheNotices) {
  ScriptedChannel channel;
  channel.answers = {{" RP", "4000"}, {" RPE", "3"}, {" RV", "32213"}, {" RA", "0"}, {" RMODE", "V"}};
  testing::RecordingView view;
  AxisSettings settings;
  LiveState state;
  state.selectedAddress = 1;
  StatusTick(state, settings, channel, view);
  EXPECT_TRUE(channel.sent.empty()) << "no motor selected yet";

  state.pollingOn = true;
  state.clockFeedOn = true;
  std::vector<int> ticks, feeds;
  for (int tick = 1; tick <= 13; ++tick) {
    channel.sent.clear();
    StatusTick(state, settings, channel, view);
    ticks.push_back(state.tickCount);
    if (std::count(channel.sent.begin(), channel.sent.end(), "CLK=0")) feeds.push_back(tick);
    if (state.tickCount == 5 && tick < 6) {
      EXPECT_EQ(channel.sent, (std::vector<std::string>{" RP", " RPE", " RV", " RA", " RMODE", " RBa", " a=UAI  Ra",
                                                        " a=UBI  Ra", " a=UCI  Ra", " a=UDI  Ra", " a=UEI  Ra",
                                                        " a=UFI  Ra", " a=UGI  Ra"}));
      EXPECT_EQ(view.texts["OpMode"], "Velocity");
      EXPECT_EQ(view.texts["Speed"], "1");
    }
  }
  EXPECT_EQ(ticks, (std::vector<int>{2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 6, 1, 2})) << "the first tick took it from 0 to 1";
  EXPECT_EQ(feeds, (std::vector<int>{11, 12, 13}));
  EXPECT_EQ(view.texts["Position"], "2");
  EXPECT_EQ(view.texts["PosError"], "3");

  // A poll that draws no answers keeps what was shown.
  channel.answers.clear();
  StatusTick(state, settings, channel, view);
  EXPECT_EQ(state.pos, 4000);
  EXPECT_EQ(view.texts["Position"], "2");

  state.pollingOn = false;
  state.noticeCount = 10;
  for (int tick = 0; tick < 30; ++tick) StatusTick(state, settings, channel, view);
  EXPECT_EQ(view.notices.substr(0, view.notices.find('|')), kRunNoticeCaption);
  EXPECT_FALSE(view.visibles.contains("SendCmd(6)"));
  StatusTick(state, settings, channel, view);
  EXPECT_EQ(state.noticeCount, -1);
  EXPECT_TRUE(view.notices.empty());
  EXPECT_TRUE(view.visibles["SendCmd(6)"]);
}

using StatusLiveTest = testing::SelectedMotor;

TEST_F(StatusLiveTest, SixTicksReadTheMotorInBothInputForms) {
  ASSERT_TRUE(channel_->Write("O=4000"));
  Sync();
  simulator_->WithMotor(0, 0, [](sim::Firmware& motor) {
    motor.SetInput('A', false);
    motor.SetInput('C', false);
    motor.SetStatus('a', true);
  });
  settings_.motorInfo[5] = "1";
  for (int tick = 0; tick < 6; ++tick) StatusTick(state_, settings_, *channel_, view_);
  const auto sent = CommandLines();
  for (const char* command : {" RP", " RPE", " RV", " RA", " RMODE", " RBa", " RU"})
    EXPECT_TRUE(std::count(sent.begin(), sent.end(), command)) << command;
  EXPECT_EQ(view_.texts["Position"], "2");
  EXPECT_EQ(view_.texts["PosError"], "0");
  EXPECT_EQ(view_.texts["OpMode"], "Off");
  EXPECT_EQ(view_.texts["MStat"], "Drive Off");
  EXPECT_TRUE(view_.visibles[std::string(kAlarmIndicator)]);
  EXPECT_EQ(view_.texts["bcdi"], "5");
  EXPECT_EQ(view_.coloured["PosIndex(5)"], kYellow);

  settings_.motorInfo[5] = "";
  view_.texts.erase("bcdi");
  for (int tick = 0; tick < 6; ++tick) StatusTick(state_, settings_, *channel_, view_);
  const auto older = CommandLines();
  EXPECT_TRUE(std::count(older.begin(), older.end(), " a=UGI  Ra"));
  EXPECT_FALSE(std::count(older.begin(), older.end(), " RU"));
  EXPECT_EQ(view_.texts["bcdi"], "5") << "both forms read the same inputs";
}

}  // namespace
}  // namespace velkor::setup
