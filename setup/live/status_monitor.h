#pragma once
// The status poll of the selected motor: one tick of the main window's
// status timer reads position, position error, velocity and acceleration,
// every sixth tick also the mode, the state and the inputs, and tells the
// view what to show. The decoding is kept apart from the exchange so that
// it can be checked without a motor.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "setup/model/axis_settings.h"
#include "setup/model/view.h"
#include "setup/transfer/motor_channel.h"

namespace velkor::setup {

inline constexpr unsigned kYellow = 65535;
inline constexpr unsigned kLightGreen = 0xC0FFC0;
inline constexpr std::string_view kRunNoticeCaption = "Run Command Issued";
inline constexpr std::string_view kRunNoticeLine = "Motor Initializing Data";
// Names the window gives the alarm light and the seven input lights.
inline constexpr std::string_view kAlarmIndicator = "Alarm";
inline constexpr std::string_view kInputIndicator = "InputLight";  // InputLight(1) .. InputLight(7)

// Fill styles of an input light: solid while the input is active.
inline constexpr int kFilled = 0;
inline constexpr int kHollow = 1;

// What the poll and the test moves share while a motor is selected.
struct LiveState {
  bool pollingOn = false;
  int selectedAddress = 0;
  // False while a Go button is held, except through a continuous test move:
  // the poll then goes on, so that it feeds CLK to the motor program's guard.
  bool timerOn = true;
  std::optional<int> heldFunction;  // the function whose Go button is held
  int tickCount = 0;    // 1 .. 6
  bool clockFeedOn = false;
  int clockFeedCount = 0;
  int noticeCount = 0;  // the notices countdown: 10 .. 40 shows them, -1 done
  // Readings from the last replies, and what Position shows of them.
  double pos = 0, posErr = 0, vel = 0, acc = 0;
  std::string positionText;
  std::array<int, 7> inputFill = {kHollow, kHollow, kHollow, kHollow, kHollow, kHollow, kHollow};
};

// A motor's answer as a number; nothing for an answer that is none.
std::optional<double> ReplyNumber(std::string_view reply);

// The labels Position, Speed and Accel (user units; Speed and Accel rounded
// to DecPlaces). A rotary unit divides by the resolution the motor reported
// (MInfo(3)); without a usable one there is nothing to show.
std::string PositionText(double pos, const AxisSettings& settings);
std::optional<std::string> SpeedText(double vel, const AxisSettings& settings);
std::optional<std::string> AccelText(double acc, const AxisSettings& settings);

// OpMode and MStat for a mode letter; `ask` puts the follow-up questions
// (" RBt", " RBe", " RBh", " RT"). Nothing where a label stays as it was.
struct ModeLabels {
  std::optional<std::string> opMode;
  std::optional<std::string> mStat;
  bool operator==(const ModeLabels&) const = default;
};
using Ask = std::function<std::optional<std::string>(std::string_view)>;
ModeLabels DecodeMode(std::string_view reply, const Ask& ask);

// The input lights and the function the inputs D C B A select.
struct InputReading {
  std::array<int, 7> fill;
  int selector = 0;
  bool operator==(const InputReading&) const = default;
};
// Newer firmware: the one answer to " RU" (input A in bit 0).
InputReading InputsFromWord(int u);
// Older firmware: the level (0 or 1) of each input A .. G.
InputReading InputsFromLevels(const std::array<int, 7>& levels);

// bcdi, the lights, and the selected function highlighted: its PosIndex
// label yellow and, while the Go light is hollow, its fields light green;
// every other function in its normal colours, except the one whose Go
// button is held, which keeps the colours of its test move.
void ShowInputs(const InputReading& inputs, View& view, std::optional<int> held = std::nullopt);

// One tick of the status timer. Engine errors are ignored: a reading whose
// question fails (or is answered with no number) stays as it was.
void StatusTick(LiveState& state, const AxisSettings& settings, MotorChannel& channel, View& view);

}  // namespace velkor::setup
