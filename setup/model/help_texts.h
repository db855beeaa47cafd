#pragma once
// The help line: what each control says while the mouse is over it. One
// table, keyed by control name and index; a few texts follow the screen
// (a button's caption, a function's mode).

#include <string>
#include <string_view>

#include "setup/model/axis_settings.h"
#include "setup/model/screen.h"

namespace velkor::setup {

struct HelpContext {
  const AxisSettings& settings;
  const ScreenState& screen;
};

// The text for `control` (index -1 for a control that is no array member);
// a single blank, which clears the line, for controls without one.
std::string HelpText(std::string_view control, int index, const HelpContext& context);

// The scan button while it is pressed.
inline constexpr std::string_view kScanningHelp = "Scanning Available Serial Ports For Motors ";

}  // namespace velkor::setup
