// The option bytes from the controls and back.

#include <gtest/gtest.h>

#include "setup/model/options.h"

namespace velkor::setup {
namespace {

TEST(Options, EveryChoiceSurvivesTheBytes) {
  int combinations = 0;
  for (int powerUp = -1; powerUp < 3; ++powerUp)
    for (int homeMethod = -1; homeMethod < 3; ++homeMethod)
      for (int flags = 0; flags < 16; ++flags) {
        OptionControls controls;
        if (powerUp >= 0) controls.powerUp = powerUp;
        if (homeMethod >= 0) controls.homeMethod = homeMethod;
        controls.invertCommutation = flags & 1;
        controls.fullResetOnFault = flags & 2;
        controls.backOffToIndex = flags & 4;
        controls.towardsPositive = flags & 8;
        EXPECT_EQ(ControlsFrom(BytesFrom(controls)), controls) << powerUp << " " << homeMethod << " " << flags;
        ++combinations;
      }
  EXPECT_EQ(combinations, 256);
}

TEST(Options, BytesAreTheMotorProgramsBits) {
  OptionControls controls;
  controls.powerUp = 2;
  controls.invertCommutation = true;
  controls.fullResetOnFault = true;
  controls.homeMethod = 1;
  controls.towardsPositive = true;
  EXPECT_EQ(BytesFrom(controls), (OptionBytes{4 | 8, 1, 2 | 16}));
  // Several bits of one group: the last button set is the one chosen.
  EXPECT_EQ(ControlsFrom(OptionBytes{3, 0, 6}).powerUp, 1);
  EXPECT_EQ(ControlsFrom(OptionBytes{3, 0, 6}).homeMethod, 2);
  EXPECT_FALSE(ControlsFrom(OptionBytes{2, 5, 0}).fullResetOnFault) << "only 1 means a full reset";
}

}  // namespace
}  // namespace velkor::setup
