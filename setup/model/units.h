#pragma once
// User units and motor units of one axis: the scale (EncCounts encoder
// counts are UserCounts user units), the unit name, the encoder resolution,
// and the conversions from user units to the integers the motor stores.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::setup {

// Motor velocity units are counts per second divided by this, acceleration
// units counts per second squared divided by the next; both are given by
// their bit patterns, which the decimal texts only approximate.
extern const double kVelUnitFactor;  // 0x3FAFC9F0800DA731
extern const double kAccUnitFactor;  // 0x406F943C5472A257
inline constexpr double kTorqueFactor = 10.23;  // percent to motor torque units (100 % = 1023)
inline constexpr double kAccelerationCeiling = 32000;  // the largest MotorAcc accepted

enum class Unit : int { Millimetre = 0, Micrometre = 1, Inch = 2, Degree = 3, Revolution = 4 };
inline constexpr std::array<std::string_view, 5> kUnitNames = {"mm", "um", "in", "deg", "rev"};

struct Scale {
  double encCounts = 2000;   // EncCounts
  double userCounts = 1;     // UserCounts
  Unit unit = Unit::Millimetre;
  double encoderRes = 2000;  // EncoderRes: counts per motor revolution
};

// Rounding to the nearest integer, ties to the even one (2.5 gives 2).
double RoundToEven(double value);
// Rounding to `places` decimals the same way.
double RoundToPlaces(double value, int places);

// The conversions, each ending in rounding to even.
double MotorPosition(double user, const Scale& scale);
double MotorVelocity(double user, const Scale& scale);
double MotorAcceleration(double user, const Scale& scale);
double MotorTorque(double percent);
double MotorFollowingError(double counts);  // E-Limit: the counts themselves, rounded

// Decimals kept for user-unit values, from the counts per user unit.
int DecPlacesFor(const Scale& scale);

// The usual number parsing, in one place: optional blanks, an optional sign,
// digits with at most one decimal point (at least one digit), an optional
// exponent (e or E, an optional sign, digits), optional blanks. Nothing else.
std::optional<double> ParseNumber(std::string_view text);
// A motor-unit result as the decimal text of an integer.
std::string IntegerText(double value);
// A user-unit value: up to 15 significant digits, no exponent for ordinary
// magnitudes, no trailing zeros.
std::string NumberText(double value);

}  // namespace velkor::setup
