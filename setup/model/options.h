#pragma once
// The option bytes the motor program reads (power-up, fault and home
// behaviour), built from the option controls and read back into them, and
// the picture that illustrates the home method.

#include <cstdint>
#include <optional>

namespace velkor::setup {

// The controls' state: a chosen option button by its index (nothing chosen:
// nullopt), and the check boxes.
struct OptionControls {
  std::optional<int> powerUp;     // HomeOption(0..2): home at power-up, after the first Go, manual
  bool invertCommutation = false;  // Invert
  bool fullResetOnFault = false;   // FaultAction(1) chosen, else FaultAction(0)
  std::optional<int> homeMethod;  // HomehsLim(0..2): present position, hard stop, limit switch
  bool backOffToIndex = false;    // HomeChecked(3)
  bool towardsPositive = false;   // HomeChecked(4)
  bool operator==(const OptionControls&) const = default;
};

struct OptionBytes {
  int powerUp = 0;  // PowerUpOps
  int fault = 0;    // FaultOps
  int home = 0;     // HomeOps
  bool operator==(const OptionBytes&) const = default;
};

OptionBytes BytesFrom(const OptionControls& controls);
// As after a file is opened or an upload: a bit that is set chooses its
// control (of several set bits, the highest power-up or home bit).
OptionControls ControlsFrom(const OptionBytes& bytes);

// The illustration of the home method (1..9) for these home options; nothing
// for a combination that has none (the picture then stays as it was).
std::optional<int> HomePicture(int homeOps);

}  // namespace velkor::setup
