#pragma once
// Moving the selected motor from the PC: a motion function run while its Go
// button is held, jogging at two speeds in either direction, stop, the
// command buttons (zero, go, off, on, end, run, home) and Record. Every
// command goes to the motor the status poll selected; the test moves log
// theirs in the command log.

#include <array>
#include <string>
#include <string_view>

#include "setup/live/command_log.h"
#include "setup/live/status_monitor.h"
#include "setup/model/axis_settings.h"
#include "setup/model/view.h"
#include "setup/transfer/motor_channel.h"

namespace velkor::setup {

inline constexpr std::string_view kErrorNoData = "Error-No Data";
inline constexpr std::string_view kNeedResolution = "Please Enter Encoder Resolution!";
inline constexpr std::string_view kNeedHome = "Please Home Motor!";
inline constexpr std::string_view kNoShunt = "Cannot Shunt From PC without RVT Firmware";
inline constexpr std::string_view kHoldHome = "Home Button Must Remain Pressed Until Home Is Complete!";
inline constexpr int kHomeButton = 6;
inline constexpr int kRunButton = 5;

// The jog controls as the window has them.
struct JogControls {
  int slowSpeed = 0;            // JogLimitSlow
  int fastSpeed = 0;            // JogLimitFast
  bool torqueJog = false;       // TJog chosen (else VJog)
  bool stopOnRelease = true;    // StopOnRelease
};
enum class JogButton { SlowPos, SlowNeg, FastPos, FastNeg };

class TestMoves {
 public:
  TestMoves(LiveState& state, MotorChannel& channel, View& view, CommandLog& log)
      : state_(state), channel_(channel), view_(view), log_(log) {}

  // Gothere(i) pressed and released. The press leaves the status poll
  // stopped until the release, except through a continuous move, which
  // the poll's CLK=0 keeps alive in the motor.
  void GoPressed(int function, AxisSettings& settings);
  void GoReleased(int function, const AxisSettings& settings);

  void JogPressed(JogButton button, const JogControls& controls);
  void JogReleased(const JogControls& controls);
  void JogStop();

  // SendCmd(i) pressed; the HOME button (6) also released.
  void CommandPressed(int button, const AxisSettings& settings);
  void HomeReleased();

  // Record(i): the present position, as Position shows it, for PrePos(i).
  std::string RecordedPosition() const { return state_.positionText; }

  bool TravelLimitsOn() const { return travelLimitsOn_; }
  int TorqueDirection() const { return torqueDirection_; }

 private:
  void Send(const std::string& command, bool logged);
  void PaintFunction(int function, std::optional<unsigned> colour);

  LiveState& state_;
  MotorChannel& channel_;
  View& view_;
  CommandLog& log_;
  bool travelLimitsOn_ = false;
  int torqueDirection_ = 0;
  int jogSpeed_ = 0;
  bool jogPositive_ = true;
};

}  // namespace velkor::setup
