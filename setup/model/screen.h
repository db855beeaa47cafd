#pragma once
// The main window's screen logic as data: what each mode shows in its row of
// the data table, the captions that switch panels, the option logic, the
// command presets. The window applies these; it decides nothing itself.

#include <array>
#include <optional>
#include <string_view>

#include "setup/model/axis_settings.h"

namespace velkor::setup {

inline constexpr std::string_view kBaseTitle = "Fenwa v2.004 :";
inline constexpr std::string_view kChangesMark = ": ! Changes Made !";
inline constexpr std::string_view kModeToolTip = "Select Mode Of Operation";

// The row of one motion function, by its mode. An empty caption stands for
// the unit name (position) or the unit name with "/s" (velocity).
struct ModeLayout {
  bool dataEnabled;
  bool zeroesData;  // the mode puts "0" into Data
  std::string_view positionCaption;
  bool positionCaptionEnabled;
  bool recordEnabled;  // while a motor is selected
  bool velocityEnabled;
  bool velocityVisible;
  std::string_view velocityCaption;
  bool velocityCaptionEnabled;
  bool accelerationVisible;  // field and unit label
  bool noGoVisible;
};

inline constexpr std::array<ModeLayout, 8> kModeLayouts = {{
    {true, false, "", true, true, true, true, "", true, true, true},             // Absolute
    {true, false, "", true, false, true, true, "", true, true, true},            // Relative
    {false, false, "", false, false, true, true, "", true, true, true},          // Velocity
    {true, false, "Cnts", true, false, true, true, "", true, true, true},        // E-Limit
    {true, true, "%T", true, false, false, true, "", false, true, true},         // Torque
    {false, true, "", false, false, false, false, " Dynamically Shunt to Stop", true, false, false},  // Shunt
    {false, true, "", false, false, false, false, " Release Holding Torque", true, false, false},     // OFF
    {false, false, "", false, false, false, false, "Motor Reset/Run, Re-Home required", true, false, false},  // Reset
}};

inline const ModeLayout& LayoutOf(Mode mode) { return kModeLayouts.at(static_cast<std::size_t>(mode)); }

// Captions of the unit labels beside a function's fields.
std::string PositionCaptionOf(const AxisSettings& settings, int function);
std::string VelocityCaptionOf(const AxisSettings& settings, int function);

// The two buttons that switch panels, each by its present caption.
inline constexpr std::string_view kShowAdvanced = "Show Advanced Settings";
inline constexpr std::string_view kShowDataTable = "Show Data Table";
inline constexpr std::string_view kShowHomeMethod = "Show and Set Home Method";
inline constexpr std::string_view kHideHomeMethod = "Hide Home Method";

// Which panels are in front. Exactly one of the data table and the advanced
// settings is; the home-method panel lies over both when shown.
struct ScreenState {
  bool advancedInFront = false;
  bool homePanelShown = false;
  bool motorReady = false;  // a motor is selected and no transfer runs
  std::string_view Command5Caption() const { return advancedInFront ? kShowDataTable : kShowAdvanced; }
  std::string_view Command7Caption() const { return homePanelShown ? kHideHomeMethod : kShowHomeMethod; }
};

// Option logic: "Back Off to Index Pulse" and "Home towards Positive End"
// mean something only for the moving home methods; the limit switch that
// ends the move is on the side the motor homes towards.
inline bool HomeCheckedEnabled(const OptionControls& options) {
  return options.homeMethod.has_value() && *options.homeMethod != 0;
}
inline std::string_view LimitSwitchCaption(const OptionControls& options) {
  return options.towardsPositive ? "Home to Limit Switch (Port D)" : "Home to Limit Switch (Port C)";
}

// The texts of the command buttons (three left free).
inline constexpr std::array<std::string_view, 10> kCommandPresets = {
    "O=0 h=1", "G", "OFF", "ZS MP P=@P G", "END", "END STACK RUN", "hh=0 GOTO19", "", "", ""};

}  // namespace velkor::setup
