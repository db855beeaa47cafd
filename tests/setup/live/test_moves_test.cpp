// Test moves, jogging, the command buttons and homing against a simulated
// motor: the command lines the motor received, in order, and the log.

#include <gtest/gtest.h>

#include <map>

#include "setup/live/test_moves.h"
#include "tests/setup/live/selected_motor.h"

namespace velkor::setup {
namespace {

using Lines = std::vector<std::string>;

class TestMovesTest : public testing::SelectedMotor {
 protected:
  void SetUp() override {
    SelectedMotor::SetUp();
    SetVariable(0, "h", 1);
  }
  // The command lines the motor received since the last call, without the
  // address bytes in front and without the questions and answers.
  Lines Commands() {
    Sync();
    Lines lines;
    for (const std::string& line : CommandLines())
      if (line != "Rh" && line != "RADDR") lines.push_back(line);
    return lines;
  }
  void Function(int i, Mode mode, const char* data, const char* vel = "10", const char* acc = "100") {
    settings_.functions[i].mode = mode;
    settings_.functions[i].data = data;
    settings_.functions[i].vel = vel;
    settings_.functions[i].acc = acc;
  }
  void TravelLimits(const char* upper, const char* lower) {
    settings_.limits[7] = upper;
    settings_.limits[8] = lower;
  }
  // The press and the release of function i's Go button.
  Lines Go(int i) {
    moves_->GoPressed(i, settings_);
    Lines lines = Commands();
    EXPECT_EQ(state_.timerOn, state_.clockFeedOn) << "no poll while the button is held, unless it feeds CLK";
    moves_->GoReleased(i, settings_);
    EXPECT_TRUE(state_.timerOn);
    return lines;
  }
};

TEST_F(TestMovesTest, PositionMovesStayWithinTheTravelLimits) {
  Function(3, Mode::Absolute, "150");
  TravelLimits("100", "-100");
  settings_.changesMade = true;
  settings_.RecomputeAll();
  const MotionFunction& f = settings_.functions[3];
  // The first press knows the limits only once its own commands have gone.
  EXPECT_EQ(Go(3), (Lines{"E=1000", "AMPS=1023", "MP", "V=" + f.motorVel, "A=" + f.motorAcc, "P=200000", "ZS G"}));
  EXPECT_EQ(Commands(), (Lines{"X"}));
  EXPECT_EQ(view_.coloured, (std::map<std::string, unsigned>{})) << "painted back on release";
  EXPECT_EQ(log_.Text(), "Start: \r\n>:Go[3] Pressed\r\nE=1000\r\nAMPS=1023\r\nMP\r\nV=" + f.motorVel + "\r\nA=" +
                             f.motorAcc + "\r\nP=200000\r\nZS G\r\n>:Go[3] Released\r\nX\r\n");

  Function(3, Mode::Absolute, "50");
  EXPECT_EQ(Go(3), (Lines{"g=200000 k=-200000", "E=1000", "AMPS=1023", "MP", "V=" + f.motorVel, "A=" + f.motorAcc,
                          "P=100000", "ZS G"}));
  Commands();
  Function(3, Mode::Absolute, "-100");
  EXPECT_EQ(Go(3)[6], "P=-200000") << "at the negative limit";
  Commands();

  // A relative move ends at the present position plus its offset.
  Function(4, Mode::Relative, "20");
  state_.positionText = "90";
  EXPECT_EQ(Go(4)[6], "P=200000");
  Commands();
  state_.positionText = "70";
  EXPECT_EQ(Go(4)[6], "D=40000");
  Commands();
  TravelLimits("0", "0");
  state_.positionText = "90";
  const Lines off = Go(4);  // still told, as the press before had the limits on
  EXPECT_EQ(off, (Lines{"g=0 k=0", "E=1000", "AMPS=1023", "MP", "V=" + f.motorVel, "A=" + f.motorAcc, "D=40000", "ZS G"}));
  Commands();
  EXPECT_EQ(Go(4).front(), "E=1000");
}

TEST_F(TestMovesTest, EachModeSendsItsSequenceAndTheReleaseStopsIt) {
  Function(0, Mode::Velocity, "0", "-10");
  Function(1, Mode::ELimit, "80");
  Function(2, Mode::Torque, "-50");
  Function(5, Mode::Shunt, "0");
  Function(6, Mode::Off, "0");
  Function(7, Mode::Reset, "0");
  settings_.RecomputeAll();
  const MotionFunction& v = settings_.functions[0];
  const MotionFunction& e = settings_.functions[1];
  const Lines head = {"E=1000", "AMPS=1023"};
  const auto with = [&](Lines tail) {
    Lines lines = head;
    lines.insert(lines.end(), tail.begin(), tail.end());
    return lines;
  };
  EXPECT_EQ(Go(0), with({"GOSUB99", "MV", "V=" + v.motorVel, "A=" + v.motorAcc, "ZS G"}));
  EXPECT_EQ(Commands(), Lines{"X"});
  EXPECT_FALSE(state_.clockFeedOn);
  EXPECT_EQ(Go(1), with({"GOSUB99", "MV", "V=" + e.motorVel, "A=" + e.motorAcc, "E=80", "ZS G"}));
  Commands();
  EXPECT_EQ(Go(2), with({"GOSUB98", "MT", "T=-512"}));
  EXPECT_EQ(Commands(), Lines{"T=0"}) << "no torque direction without travel limits";
  EXPECT_EQ(Go(6), with({"BRKRLS", "OFF"}));
  Commands();
  EXPECT_EQ(Go(7), with({"END", "OFF", "STACK", "RUN"}));
  Commands();
  EXPECT_EQ(log_.Text().find("BRKRLS"), std::string::npos) << "modes past Torque are not logged";

  EXPECT_EQ(Go(5), head) << "no MTB without the firmware";
  EXPECT_EQ(view_.messages.back(),
            (Message{"Error-No Data", "Cannot Shunt From PC without RVT Firmware", Icon::Exclamation}));
  Commands();
  settings_.motorInfo[5] = "1";
  EXPECT_EQ(Go(5), with({"MTB"}));
  Commands();

  TravelLimits("100", "-100");
  settings_.RecomputeAll();
  Go(2);  // the limits take effect from here on
  Commands();
  moves_->GoPressed(0, settings_);
  EXPECT_TRUE(state_.clockFeedOn);
  EXPECT_EQ(Commands(), with({"GOSUB99", "P=-200000", "MP", "V=" + v.motorVel, "A=" + v.motorAcc, "ZS G"}));
  moves_->GoReleased(0, settings_);
  Commands();
  moves_->GoPressed(2, settings_);
  EXPECT_EQ(moves_->TorqueDirection(), -1);
  Commands();
  moves_->GoReleased(2, settings_);
  EXPECT_EQ(Commands(), Lines{"T=-1"});
}

TEST_F(TestMovesTest, PressesThatCannotMoveSendNothing) {
  settings_.encoderResText = "";
  moves_->GoPressed(0, settings_);
  EXPECT_EQ(view_.messages.back(), (Message{"Error-No Data", "Please Enter Encoder Resolution!", Icon::Exclamation}));
  EXPECT_EQ(view_.focus, "ERes");
  EXPECT_EQ(Commands(), Lines{});

  settings_.encoderResText = "2000";
  SetVariable(0, "h", 0);
  moves_->GoPressed(0, settings_);
  EXPECT_EQ(view_.messages.back(), (Message{"Error-No Data", "Please Home Motor!", Icon::Exclamation}));
  EXPECT_EQ(Commands(), Lines{});
  EXPECT_EQ(log_.Text(), "Start: \r\n");
  Function(1, Mode::Relative, "5");
  settings_.RecomputeAll();
  moves_->GoPressed(1, settings_);
  EXPECT_EQ(Commands().size(), 7u) << "a relative move needs no home";
}

TEST_F(TestMovesTest, JogStopCommandButtonsAndHome) {
  JogControls jog{5, 20, false, true};
  moves_->JogPressed(JogButton::SlowPos, jog);
  moves_->JogReleased(jog);
  EXPECT_EQ(Commands(), (Lines{"A=300", "MV V=5000 G", "X"}));
  jog.torqueJog = true;
  moves_->JogPressed(JogButton::FastNeg, jog);
  moves_->JogReleased(jog);
  EXPECT_EQ(Commands(), (Lines{"A=1000", "MT T=-20", "T=1"}));
  jog.stopOnRelease = false;
  moves_->JogPressed(JogButton::SlowPos, jog);
  moves_->JogReleased(jog);
  moves_->JogStop();
  EXPECT_EQ(Commands(), (Lines{"A=300", "MT T=5", "X"}));
  EXPECT_TRUE(state_.timerOn);

  moves_->CommandPressed(0, settings_);
  EXPECT_EQ(Commands(), Lines{"O=0 h=1"});
  EXPECT_EQ(view_.texts["CommandText"], "O=0 h=1");
  moves_->CommandPressed(5, settings_);
  EXPECT_EQ(Commands(), Lines{"END STACK RUN"});
  EXPECT_EQ(view_.notices, "Run Command Issued|Motor Initializing Data");
  EXPECT_EQ(state_.noticeCount, 10);

  moves_->CommandPressed(kHomeButton, settings_);
  EXPECT_EQ(state_.noticeCount, 0);
  EXPECT_EQ(view_.help, "Home Button Must Remain Pressed Until Home Is Complete!");
  moves_->HomeReleased();
  EXPECT_EQ(Commands(), (Lines{"hh=0 GOTO19", "hh=1"}));
  EXPECT_EQ(view_.focus, "Picture1");
  EXPECT_TRUE(state_.timerOn);

  settings_.options.homeMethod = 2;  // the limit switch homes at power-up
  moves_->CommandPressed(kHomeButton, settings_);
  EXPECT_FALSE(view_.visibles["SendCmd(6)"]);
  EXPECT_EQ(Commands(), Lines{});
}

}  // namespace
}  // namespace velkor::setup
