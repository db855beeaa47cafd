// Conversions from user units to motor units, rounding, and the numbers
// the settings are kept as.

#include <gtest/gtest.h>

#include "setup/model/units.h"

namespace velkor::setup {
namespace {

TEST(Units, ConversionsRoundTiesToEven) {
  const Scale one{1, 1, Unit::Millimetre, 2000};
  EXPECT_EQ(MotorPosition(1.5, one), 2);
  EXPECT_EQ(MotorPosition(2.5, one), 2);
  EXPECT_EQ(MotorPosition(-2.5, one), -2);
  EXPECT_EQ(MotorPosition(12.3456, Scale{}), 24691) << "2000 counts per mm";
  EXPECT_EQ(MotorTorque(100), 1023);
  EXPECT_EQ(MotorTorque(-100), -1023);
  EXPECT_EQ(MotorFollowingError(150.5), 150);
  EXPECT_DOUBLE_EQ(RoundToPlaces(0.0125, 3), 0.012);
  EXPECT_DOUBLE_EQ(RoundToPlaces(1.0135, 3), 1.014);
}

TEST(Units, SpeedsFollowTheUnit) {
  EXPECT_DOUBLE_EQ(kVelUnitFactor, 0.0620875507655242);
  EXPECT_DOUBLE_EQ(kAccUnitFactor, 252.632364486594);
  const Scale degrees{2000, 1, Unit::Degree, 2000};
  const Scale revolutions{2000, 1, Unit::Revolution, 2000};
  EXPECT_EQ(MotorVelocity(360, degrees), 32213);
  EXPECT_EQ(MotorVelocity(1, revolutions), 32213);
  // Degrees and revolutions use the encoder resolution, lengths the scale.
  EXPECT_EQ(MotorVelocity(1, Scale{4000, 2, Unit::Millimetre, 500}), 32213);
  EXPECT_EQ(MotorVelocity(1, Scale{4000, 2, Unit::Revolution, 500}), 8053);
  EXPECT_EQ(MotorAcceleration(1000, Scale{}), 7917);
  EXPECT_EQ(MotorAcceleration(360, degrees), MotorAcceleration(1, revolutions));
  // Positions use the scale whatever the unit.
  EXPECT_EQ(MotorPosition(3, degrees), 6000);
}

TEST(Units, DecimalsFollowTheCountsPerUnit) {
  const std::pair<double, int> cases[] = {{2000, 3}, {1000, 3}, {999, 2}, {100, 2}, {50, 1}, {10, 1}, {9.5, 1}, {5, 0}};
  for (const auto& [counts, places] : cases) EXPECT_EQ(DecPlacesFor(Scale{counts, 1}), places) << counts;
  EXPECT_EQ(DecPlacesFor(Scale{2000, 4}), 2) << "500 counts per unit";
  EXPECT_EQ(DecPlacesFor(Scale{25, 2}), 1) << "12.5 counts round to 12";
}

TEST(Units, NumbersAreReadByOneGrammar) {
  const std::pair<const char*, double> accepted[] = {{"12", 12},      {" -3.5 ", -3.5}, {"+.5", 0.5},
                                                     {"1e3", 1000},   {"2.5E-2", 0.025}, {"7.", 7},
                                                     {"\t0042\t", 42}};
  for (const auto& [text, value] : accepted) {
    ASSERT_TRUE(ParseNumber(text)) << text;
    EXPECT_DOUBLE_EQ(*ParseNumber(text), value) << text;
  }
  for (const char* text : {"", " ", ".", "-", "1..2", "e5", "1e", "1e+", "1.2.3", "12abc", "0x10", "inf", "nan",
                           "1,5", "- 1", "1e999"})
    EXPECT_FALSE(ParseNumber(text)) << text;
}

TEST(Units, ResultsAreWrittenAsPlainDecimals) {
  EXPECT_EQ(IntegerText(32213.4), "32213");
  EXPECT_EQ(IntegerText(-0.4), "0");
  EXPECT_EQ(IntegerText(-1023), "-1023");
  EXPECT_EQ(NumberText(12.3456), "12.3456");
  EXPECT_EQ(NumberText(0.1 + 0.2), "0.3");
  EXPECT_EQ(NumberText(-150), "-150");
  EXPECT_EQ(NumberText(123456789.125), "123456789.125");
  EXPECT_EQ(NumberText(-0.0), "0");
  EXPECT_EQ(NumberText(1e20), "1e+20");
}

}  // namespace
}  // namespace velkor::setup
