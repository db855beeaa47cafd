#include "setup/live/test_moves.h"

#include "setup/model/screen.h"
#include "setup/model/units.h"

namespace velkor::setup {
namespace {

double Number(std::string_view text) { return ParseNumber(text).value_or(0); }

std::string GoLine(int function, std::string_view what) {
  return ">:Go[" + std::to_string(function) + "] " + std::string(what);
}

}  // namespace

void TestMoves::Send(const std::string& command, bool logged) {
  // A failed send is not reported: the sequence goes on, as the motor
  // program expects every step of it.
  channel_.Write(command);
  if (logged) log_.Append(command);
}

void TestMoves::PaintFunction(int function, std::optional<unsigned> colour) {
  for (const char* field : {"Motion", "PrePos", "PreVel", "PreAcc"}) view_.SetColour(Indexed(field, function), colour);
}

void TestMoves::GoPressed(int i, AxisSettings& settings) {
  state_.timerOn = false;
  if (!ParseNumber(settings.encoderResText)) {
    view_.ShowMessage({std::string(kErrorNoData), std::string(kNeedResolution), Icon::Exclamation});
    view_.Focus("ERes");
    return;
  }
  for (int k = 0; k < 10; ++k) settings.ConvertLimit(k);
  for (int k = 0; k < 16; ++k) settings.ConvertFunction(k);
  const MotionFunction& f = settings.functions.at(static_cast<std::size_t>(i));
  const std::array<std::string, 10>& motorLimits = settings.motorLimits;

  // An unanswered question counts as not homed: an absolute move then asks
  // for homing rather than going to a position the motor cannot know.
  const auto h = channel_.HostAsk("Rh");
  const auto homed = h ? ReplyNumber(*h) : std::nullopt;
  if (static_cast<int>(homed.value_or(0)) == 0 && f.mode == Mode::Absolute) {
    view_.ShowMessage({std::string(kErrorNoData), std::string(kNeedHome), Icon::Exclamation});
    return;
  }
  log_.Append(GoLine(i, "Pressed"));
  state_.heldFunction = i;
  // The motor program's copy of the travel limits, as of the previous press.
  if (travelLimitsOn_ && settings.changesMade) Send("g=" + motorLimits[7] + " k=" + motorLimits[8], true);
  PaintFunction(i, kYellow);
  Send("E=" + motorLimits[0], true);
  Send("AMPS=" + motorLimits[2], true);
  const double upper = Number(settings.limits[7]);
  const double lower = Number(settings.limits[8]);
  travelLimitsOn_ = !(upper == 0 && lower == 0);

  const bool logged = f.mode <= Mode::Torque;
  const auto send = [&](const std::string& command) { Send(command, logged); };
  // A target beyond a travel limit goes to the limit instead.
  const auto clipped = [&](double target) -> std::optional<std::string> {
    if (target > upper) return "P=" + motorLimits[7];
    if (target <= lower) return "P=" + motorLimits[8];
    return std::nullopt;
  };
  switch (f.mode) {
    case Mode::Absolute: {
      send("MP");
      send("V=" + f.motorVel);
      send("A=" + f.motorAcc);
      const auto limit = travelLimitsOn_ ? clipped(Number(f.data)) : std::nullopt;
      send(limit.value_or("P=" + f.motorData));
      send("ZS G");
      break;
    }
    case Mode::Relative: {
      send("MP");
      send("V=" + f.motorVel);
      send("A=" + f.motorAcc);
      const auto limit = travelLimitsOn_ ? clipped(Number(state_.positionText) + Number(f.data)) : std::nullopt;
      send(limit.value_or("D=" + f.motorData));
      send("ZS G");
      break;
    }
    case Mode::Velocity:
    case Mode::ELimit: {
      // The feed starts counting with the move, so that a count left by an
      // earlier move does not send "CLK=0" from its first tick.
      state_.clockFeedOn = true;
      state_.clockFeedCount = 0;
      send("GOSUB99");
      if (!travelLimitsOn_) {
        send("MV");
      } else {
        const double velocity = Number(f.motorVel);
        if (velocity > 0) send("P=" + motorLimits[7]);
        if (velocity < 0) send("P=" + motorLimits[8]);
        send("MP");
      }
      send("V=" + f.motorVel);
      send("A=" + f.motorAcc);
      if (f.mode == Mode::ELimit) send("E=" + f.motorData);
      send("ZS G");
      break;
    }
    case Mode::Torque: {
      if (travelLimitsOn_) {
        state_.clockFeedOn = true;
        state_.clockFeedCount = 0;
        const double torque = Number(f.data);
        torqueDirection_ = torque < 0 ? -1 : torque > 0 ? 1 : 0;
      }
      send("GOSUB98");
      send("MT");
      send("T=" + f.motorData);
      break;
    }
    case Mode::Shunt:
      if (settings.motorInfo[5] != "1") {
        view_.ShowMessage({std::string(kErrorNoData), std::string(kNoShunt), Icon::Exclamation});
        break;
      }
      send("MTB");
      break;
    case Mode::Off:
      send("BRKRLS");
      send("OFF");
      break;
    case Mode::Reset:
      for (const char* command : {"END", "OFF", "STACK", "RUN"}) send(command);
      break;
  }
  // A continuous move is guarded by the motor program, which stops it when
  // CLK is no longer reset: the poll that resets it must go on meanwhile.
  state_.timerOn = state_.clockFeedOn;
}

void TestMoves::GoReleased(int i, const AxisSettings& settings) {
  state_.timerOn = false;
  log_.Append(GoLine(i, "Released"));
  state_.clockFeedOn = false;
  state_.heldFunction.reset();
  const bool torque = settings.functions.at(static_cast<std::size_t>(i)).mode == Mode::Torque;
  Send(torque ? "T=" + std::to_string(torqueDirection_) : std::string("X"), true);
  PaintFunction(i, std::nullopt);
  view_.SetColour(Indexed("PosIndex", i), std::nullopt);
  state_.timerOn = true;
}

void TestMoves::JogPressed(JogButton button, const JogControls& controls) {
  const std::string address = std::to_string(state_.selectedAddress);
  const bool slow = button == JogButton::SlowPos || button == JogButton::SlowNeg;
  jogPositive_ = button == JogButton::SlowPos || button == JogButton::FastPos;
  channel_.HostWrite(address + (slow ? "A=300" : "A=1000"));
  jogSpeed_ = slow ? controls.slowSpeed : controls.fastSpeed;
  if (!jogPositive_) jogSpeed_ = -jogSpeed_;
  state_.timerOn = false;
  if (controls.torqueJog)
    channel_.HostWrite(address + "MT T=" + std::to_string(jogSpeed_));
  else
    channel_.HostWrite(address + "MV V=" + std::to_string(static_cast<long long>(jogSpeed_) * 1000) + " G");
  state_.timerOn = true;
}

void TestMoves::JogReleased(const JogControls& controls) {
  if (!controls.stopOnRelease) return;
  state_.timerOn = false;
  // A torque jog stops with a small torque against its direction.
  channel_.HostWrite(controls.torqueJog ? (jogPositive_ ? "T=-1" : "T=1") : "X");
  state_.timerOn = true;
}

void TestMoves::JogStop() {
  state_.timerOn = false;
  channel_.HostWrite(std::to_string(state_.selectedAddress) + "X");
  state_.timerOn = true;
}

void TestMoves::CommandPressed(int button, const AxisSettings& settings) {
  state_.timerOn = false;
  if (button != kHomeButton) {
    const std::string_view command =
        button >= 0 && button < static_cast<int>(kCommandPresets.size()) ? kCommandPresets[button] : "";
    channel_.ClearBuffer();
    if (!command.empty()) channel_.Write(command);
    view_.SetText("CommandText", command);
  }
  if (button == kRunButton) {
    // The motor program initialises its data after RUN; the status poll
    // keeps the notice up for a while, then offers HOME again.
    view_.ShowNotices(kRunNoticeCaption, kRunNoticeLine);
    state_.noticeCount = 10;
  }
  const bool limitSwitch = settings.options.homeMethod == 2;
  if (limitSwitch) view_.SetVisible(Indexed("SendCmd", kHomeButton), false);
  if (button == kHomeButton && !limitSwitch) {
    state_.noticeCount = 0;
    channel_.ClearBuffer();
    const std::string_view command = kCommandPresets[kHomeButton];
    channel_.Write(command);
    view_.SetText("CommandText", command);
    view_.SetHelp(kHoldHome);
  }
  state_.timerOn = true;
}

void TestMoves::HomeReleased() {
  state_.timerOn = false;
  // Homing runs in the motor program while hh is 0.
  channel_.HostWrite("hh=1");
  state_.timerOn = true;
  view_.Focus("Picture1");
}

}  // namespace velkor::setup
