// The axis model: its start-up state and how its motor-unit copies follow
// the texts, the modes and the scale.

#include <gtest/gtest.h>

#include "setup/model/axis_settings.h"

namespace velkor::setup {
namespace {

TEST(AxisSettings, StartsWithTheDefaultsConverted) {
  const AxisSettings axis;
  for (const MotionFunction& function : axis.functions) {
    EXPECT_EQ(function.mode, Mode::Absolute);
    EXPECT_EQ(function.motorData, "0");
    EXPECT_FALSE(function.noGo);
  }
  EXPECT_EQ(axis.gains, (std::array<std::string, 7>{"42", "28", "550", "0", "0", "20", "0"}));
  EXPECT_EQ(axis.limits[0], "1000");
  EXPECT_EQ(axis.motorLimits[0], "1000") << "counts are copied";
  EXPECT_EQ(axis.motorLimits[1], "100");
  EXPECT_EQ(axis.motorLimits[2], "1023") << "100 %";
  EXPECT_EQ(axis.motorLimits[3], "307") << "30 %";
  EXPECT_EQ(axis.decPlaces, 3);
  EXPECT_FALSE(axis.changesMade);
  EXPECT_EQ(axis.AccelerationCaption(), "mm/s^2");
}

TEST(AxisSettings, EachFunctionConvertsByItsMode) {
  AxisSettings axis;
  MotionFunction& function = axis.functions[5];
  function.data = "12.5";
  function.vel = "10";
  function.acc = "1000";
  axis.ConvertFunction(5);
  EXPECT_EQ(function.motorData, "25000");
  EXPECT_EQ(function.motorVel, "322126");
  EXPECT_EQ(function.motorAcc, "7917");
  function.mode = Mode::Torque;
  EXPECT_EQ(function.motorData, "25000") << "a change of mode alone converts nothing";
  axis.ConvertFunction(5);
  EXPECT_EQ(function.motorData, "128") << "12.5 % of 10.23 units";
  function.mode = Mode::ELimit;
  function.data = "150.5";
  axis.ConvertFunction(5);
  EXPECT_EQ(function.motorData, "150");
  function.data = "abc";  // a damaged file's text
  axis.ConvertFunction(5);
  EXPECT_EQ(function.motorData, "150") << "left as it was";
}

TEST(AxisSettings, AScaleOrUnitChangeRecomputesAllButCountsAndTorques) {
  AxisSettings axis;
  axis.functions[0].data = "2";
  axis.functions[1].mode = Mode::ELimit;
  axis.functions[1].data = "40";
  axis.functions[2].mode = Mode::Torque;
  axis.functions[2].data = "50";
  axis.limits[7] = "100";
  axis.RecomputeAll();
  ASSERT_EQ(axis.functions[0].motorData, "4000");
  axis.encCounts = "4000";
  axis.userCounts = "2";
  axis.RecomputeAll();
  EXPECT_EQ(axis.functions[0].motorData, "4000") << "the same 2000 counts per unit";
  axis.userCounts = "1";
  axis.RecomputeAll();
  EXPECT_EQ(axis.functions[0].motorData, "8000");
  EXPECT_EQ(axis.functions[1].motorData, "40");
  EXPECT_EQ(axis.functions[2].motorData, "512");
  EXPECT_EQ(axis.motorLimits[7], "400000");
  axis.unit = Unit::Revolution;
  axis.functions[3].vel = "1";
  axis.RecomputeAll();
  EXPECT_EQ(axis.functions[3].motorVel, "32213") << "revolutions use the encoder resolution";
  EXPECT_EQ(axis.VelocityCaption(), "rev/s");
  axis.userCounts = "0";  // no number a scale can hold
  axis.RecomputeAll();
  EXPECT_EQ(axis.functions[0].motorData, "8000") << "taken as its default, never a division by zero";
}

}  // namespace
}  // namespace velkor::setup
