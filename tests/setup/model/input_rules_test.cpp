// What each field accepts and how it normalises, and where the keys move.

#include <gtest/gtest.h>

#include "setup/model/input_rules.h"

namespace velkor::setup {
namespace {

constexpr FieldId kData0{FieldGroup::Data, 0};
constexpr FieldId kAcc0{FieldGroup::Acc, 0};
constexpr FieldId kEncCounts{FieldGroup::Scale, 0};
constexpr FieldId kUserCounts{FieldGroup::Scale, 1};

// The accepted model, failing the test when the text was rejected.
AxisSettings Accepted(const AxisSettings& settings, FieldId field, std::string_view text) {
  Acceptance result = Accept(settings, field, text);
  EXPECT_TRUE(result.settings) << ControlOf(field) << " " << text << ": "
                               << (result.rejection ? result.rejection->text : "");
  return result.settings.value_or(settings);
}

std::string Rejection(const AxisSettings& settings, FieldId field, std::string_view text) {
  Acceptance result = Accept(settings, field, text);
  EXPECT_FALSE(result.settings) << ControlOf(field) << " " << text;
  if (!result.rejection) return "";
  EXPECT_EQ(result.rejection->title, kInvalidInput);
  return result.rejection->text;
}

TEST(InputRules, MotionValuesAreRoundedAndTorqueIsBounded) {
  AxisSettings axis;
  EXPECT_EQ(Accepted(axis, kData0, "12.3456").functions[0].data, "12.346");
  EXPECT_EQ(Accepted(axis, kData0, "12.3456").functions[0].motorData, "24692") << "the rounded value converted";
  axis.decPlaces = 0;
  EXPECT_EQ(Accepted(axis, kData0, "12.3456").functions[0].data, "12");
  EXPECT_EQ(Accepted(axis, kData0, "12.5").functions[0].data, "12") << "ties to even";
  for (const char* text : {"abc", "", "1.2.3", "1e", "--1", "0x10"})
    EXPECT_EQ(Rejection(axis, kData0, text), kNumbersOnly) << text;

  axis.functions[0].mode = Mode::Torque;
  EXPECT_EQ(Accepted(axis, kData0, "-100").functions[0].motorData, "-1023");
  EXPECT_EQ(Rejection(axis, kData0, "100.5"), kTorqueExceeded);
  axis.functions[0].mode = Mode::Absolute;
  EXPECT_EQ(Accepted(axis, kData0, "100.5").functions[0].data, "100") << "only torques are bounded";
  // What the motor's 32-bit variables cannot hold is refused, never wrapped:
  // the motor value, the user value it keeps times 10^DecPlaces, an overflow.
  EXPECT_EQ(Accepted(axis, kData0, "1073741").functions[0].motorData, "2147482000");
  for (const char* text : {"1073742", "1e300"}) EXPECT_EQ(Rejection(axis, kData0, text), kOutOfMotorRange) << text;
  axis.decPlaces = 3;
  axis.functions[0].mode = Mode::ELimit;
  EXPECT_EQ(Rejection(axis, kData0, "3000000"), kOutOfMotorRange) << "3e9 in thousandths";
}

TEST(InputRules, AccelerationCeilingIsExactlyAtTheBoundary) {
  // The user value that converts to n motor units at 2000 counts per mm,
  // rounded to the three decimals that the field keeps.
  const AxisSettings axis;
  auto userFor = [&](double motor) { return NumberText(RoundToPlaces(motor * kAccUnitFactor / 2000, 3)); };
  const std::string highest = userFor(32000), tooHigh = userFor(32001);
  ASSERT_EQ(MotorAcceleration(*ParseNumber(highest), axis.CurrentScale()), 32000) << highest;
  ASSERT_EQ(MotorAcceleration(*ParseNumber(tooHigh), axis.CurrentScale()), 32001) << tooHigh;
  EXPECT_EQ(Accepted(axis, kAcc0, highest).functions[0].motorAcc, "32000");
  EXPECT_EQ(Rejection(axis, kAcc0, tooHigh), kAccelTooHigh);
  EXPECT_EQ(Rejection(axis, kAcc0, "-" + tooHigh), kAccelTooHigh) << "made positive first";
}

TEST(InputRules, LimitsAndGainsAreNormalisedByIndex) {
  const AxisSettings axis;
  auto limit = [&](int j, std::string_view text) { return Accepted(axis, {FieldGroup::LimVal, j}, text); };
  EXPECT_EQ(limit(2, "150").limits[2], "100");
  EXPECT_EQ(limit(2, "150").motorLimits[2], "1023");
  EXPECT_EQ(limit(3, "5").limits[3], "10");
  EXPECT_EQ(limit(2, "-50").limits[2], "50");
  EXPECT_EQ(limit(0, "-12.6").limits[0], "13");
  EXPECT_EQ(limit(0, "-12.6").motorLimits[0], "13") << "counts copied after rounding";
  EXPECT_EQ(limit(6, "-2.5").limits[6], "2.5");
  EXPECT_EQ(limit(8, "-1.23456").limits[8], "-1.235") << "travel limits keep their sign";
  EXPECT_EQ(limit(8, "-1.23456").motorLimits[8], "-2470");

  auto gain = [&](int j, std::string_view text) { return Accepted(axis, {FieldGroup::Pid, j}, text).gains[j]; };
  EXPECT_EQ(gain(6, "-2000000"), "-2000000") << "KG may pull either way";
  EXPECT_EQ(gain(0, "-20"), "20");
  EXPECT_EQ(gain(2, "2.5"), "2");
  EXPECT_EQ(Rejection(axis, {FieldGroup::Pid, 1}, "1,5"), kNumbersOnly);
}

TEST(InputRules, ScaleMustBeAPositiveIntegerThatKeepsTheMotorValuesInRange) {
  AxisSettings axis;
  EXPECT_EQ(Rejection(axis, kEncCounts, "0"), kNonZeroPositive);
  EXPECT_EQ(Rejection(axis, kUserCounts, "-3"), kNonZeroPositive);
  EXPECT_EQ(Rejection(axis, kEncCounts, "ten"), kPositiveIntegersOnly);
  EXPECT_EQ(RefuseWhileTyping(kEncCounts, "-")->text, kPositiveIntegersOnly);
  EXPECT_FALSE(RefuseWhileTyping(kEncCounts, "-5"));
  EXPECT_FALSE(RefuseWhileTyping(kData0, "-"));
  EXPECT_EQ(Rejection(axis, kUserCounts, "32768"), kUserCountsTooLarge);
  EXPECT_EQ(Accepted(axis, kUserCounts, "32767").userCounts, "32767");

  axis.functions[4].data = "1.5";
  const AxisSettings scaled = Accepted(axis, kEncCounts, "50");
  EXPECT_EQ(scaled.encCounts, "50");
  EXPECT_EQ(scaled.decPlaces, 1);
  EXPECT_EQ(scaled.functions[4].motorData, "75") << "every function follows the scale";

  axis.functions[4].acc = "4000";
  axis.ConvertFunction(4);
  ASSERT_LE(*ParseNumber(axis.functions[4].motorAcc), 32000);
  Acceptance doubled = Accept(axis, kEncCounts, "4000");
  ASSERT_FALSE(doubled.settings);
  EXPECT_NE(doubled.rejection->text.find(kAccelTooHigh), std::string::npos) << doubled.rejection->text;
}

TEST(InputRules, EncoderResolutionIsAPositiveIntegerThatDegreesFollow) {
  AxisSettings axis;
  const FieldId eres{FieldGroup::EncoderRes, 0};
  EXPECT_EQ(Rejection(axis, eres, "4k"), kNumbersOnly);
  EXPECT_EQ(Accepted(axis, eres, "-4000.4").encoderResText, "4000");
  axis.unit = Unit::Degree;
  axis.functions[0].vel = "360";
  axis.RecomputeAll();
  ASSERT_EQ(axis.functions[0].motorVel, "32213");
  const AxisSettings finer = Accepted(axis, eres, "4000");
  EXPECT_EQ(finer.encoderRes, 4000);
  EXPECT_EQ(finer.functions[0].motorVel, "64425") << "degrees convert through the resolution";
}

TEST(Navigation, MotionColumnsSkipWhatTheModeDisables) {
  AxisSettings axis;
  axis.functions[1].mode = Mode::Velocity;
  axis.functions[2].mode = Mode::Shunt;
  axis.functions[3].mode = Mode::Torque;
  auto next = [&](FieldGroup group, int index, Key key) { return NextField(axis, {group, index}, key); };
  EXPECT_EQ(next(FieldGroup::Data, 0, Key::Enter), (FieldId{FieldGroup::Data, 3}));
  EXPECT_EQ(next(FieldGroup::Data, 3, Key::Up), (FieldId{FieldGroup::Data, 0}));
  EXPECT_EQ(next(FieldGroup::Vel, 0, Key::Down), (FieldId{FieldGroup::Vel, 1}));
  EXPECT_EQ(next(FieldGroup::Vel, 1, Key::Down), (FieldId{FieldGroup::Vel, 4})) << "Shunt hides, Torque disables";
  EXPECT_EQ(next(FieldGroup::Acc, 1, Key::Down), (FieldId{FieldGroup::Acc, 3}));
  EXPECT_EQ(next(FieldGroup::Data, 3, Key::Right), (FieldId{FieldGroup::Acc, 3}));
  EXPECT_EQ(next(FieldGroup::Data, 0, Key::Right), (FieldId{FieldGroup::Vel, 0}));
  EXPECT_EQ(next(FieldGroup::Acc, 3, Key::Left), (FieldId{FieldGroup::Data, 3}));
  EXPECT_EQ(next(FieldGroup::Acc, 1, Key::Left), (FieldId{FieldGroup::Vel, 1}));
  EXPECT_EQ(next(FieldGroup::Vel, 1, Key::Left), (FieldId{FieldGroup::Vel, 1})) << "no Data in Velocity mode";
  EXPECT_EQ(next(FieldGroup::Data, 15, Key::Enter), (FieldId{FieldGroup::Data, 15}));
  EXPECT_EQ(next(FieldGroup::Vel, 0, Key::Up), (FieldId{FieldGroup::Vel, 0}));
  axis.functions[15].mode = axis.functions[14].mode = Mode::Off;
  EXPECT_EQ(next(FieldGroup::Data, 13, Key::Down), (FieldId{FieldGroup::Data, 13})) << "nothing enabled below";
}

TEST(Navigation, LimitsWrapAndGainsStopAtTheEnds) {
  const AxisSettings axis;
  auto next = [&](FieldGroup group, int index, Key key) { return NextField(axis, {group, index}, key).index; };
  EXPECT_EQ(next(FieldGroup::LimVal, 0, Key::Enter), 1);
  EXPECT_EQ(next(FieldGroup::LimVal, 8, Key::Down), 0);
  EXPECT_EQ(next(FieldGroup::LimVal, 0, Key::Up), 8);
  for (Key key : {Key::Enter, Key::Down, Key::Up}) EXPECT_EQ(next(FieldGroup::LimVal, 9, key), 9);
  EXPECT_EQ(next(FieldGroup::Pid, 5, Key::Down), 6);
  EXPECT_EQ(next(FieldGroup::Pid, 6, Key::Enter), 6);
  EXPECT_EQ(next(FieldGroup::Pid, 0, Key::Up), 0);
}

}  // namespace
}  // namespace velkor::setup
