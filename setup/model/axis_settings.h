#pragma once
// The settings of one axis as the setup window holds them: sixteen motion
// functions chosen by the inputs D C B A, the tuning gains, the limits, the
// option bytes, the scale and units. Values are kept as text, as the user
// typed them, beside their motor-unit copies, which the conversions fill.

#include <array>
#include <string>
#include <string_view>

#include "setup/model/options.h"
#include "setup/model/units.h"

namespace velkor::setup {

enum class Mode : int { Absolute = 0, Relative, Velocity, ELimit, Torque, Shunt, Off, Reset };
inline constexpr std::array<std::string_view, 8> kModeNames = {"Absolute", "Relative", "Velocity", "E-Limit",
                                                                 "Torque",   "Shunt",    "OFF",      "Reset"};

struct MotionFunction {
  Mode mode = Mode::Absolute;
  std::string data = "0";  // position, offset, following error (counts) or torque (percent), by mode
  std::string vel = "0";
  std::string acc = "0";
  bool noGo = false;  // shunt to stop on loss of Go
  std::string motorData = "0";
  std::string motorVel = "0";
  std::string motorAcc = "0";
  bool operator==(const MotionFunction&) const = default;
};

// How a limit value becomes its motor-unit copy.
enum class LimitConversion { Copy, Torque, Position, Velocity, Acceleration };
struct LimitField {
  std::string_view label;
  LimitConversion conversion;
  std::string_view defaultText;
};
inline constexpr std::array<LimitField, 10> kLimitFields = {{
    {"Pos. Error Limit", LimitConversion::Copy, "1000"},
    {"Home Pos. Error Limit", LimitConversion::Copy, "100"},
    {"Torque Limit", LimitConversion::Torque, "100"},
    {"Home Torque Limit", LimitConversion::Torque, "30"},
    {"Home Offset Dist.", LimitConversion::Position, "0"},
    {"Home Velocity", LimitConversion::Velocity, "0"},
    {"Home Acceleration", LimitConversion::Acceleration, "0"},
    {"Pos.(+) Travel Limit *", LimitConversion::Position, "0"},
    {"Neg. (-) Travel Limit *", LimitConversion::Position, "0"},
    {"Home Value:", LimitConversion::Position, "0"},
}};

inline constexpr std::array<std::string_view, 7> kGainNames = {
    "Proportional Gain", "Integral Gain",  "Differential Gain", "Vel. Feed Fwd",
    "Acc. Feed Fwd",     "Integral Limit", "Gravity Offset"};

class AxisSettings {
 public:
  // The start-up state: every function Absolute at 0, the default gains,
  // limits and scale (2000 counts per mm), converted.
  AxisSettings();

  std::array<MotionFunction, 16> functions;
  std::array<std::string, 7> gains = {"42", "28", "550", "0", "0", "20", "0"};  // KP KI KD KV KA KL KG
  std::array<std::string, 10> limits;
  std::array<std::string, 10> motorLimits;
  OptionControls options;
  std::string encCounts = "2000";
  std::string userCounts = "1";
  Unit unit = Unit::Millimetre;
  std::string encoderResText = "2000";  // the field ERes; encoderRes is its last accepted number
  double encoderRes = 2000;
  int decPlaces = 3;
  std::array<std::string, 8> motorInfo;  // model, serial, firmware, resolution, address, newer, file, date
  bool changesMade = false;

  // The scale the texts describe (a text that is no number counts as its
  // default, so that a damaged file cannot divide by zero).
  Scale CurrentScale() const;
  OptionBytes Bytes() const { return BytesFrom(options); }

  // Motor-unit copies from the user-unit texts: one value of a function (its
  // Data by its mode), one limit, or everything after a change of scale or
  // unit. A text that is no number leaves its copy as it was.
  enum class Value { Data, Vel, Acc };
  void ConvertValue(int function, Value value);
  void ConvertFunction(int index);
  void ConvertLimit(int index);
  void RecomputeAll();

  // The unit captions beside user-unit fields: the unit's name, with "/s"
  // for velocities and "/s^2" for accelerations.
  std::string PositionCaption() const;
  std::string VelocityCaption() const { return PositionCaption() + "/s"; }
  std::string AccelerationCaption() const { return PositionCaption() + "/s^2"; }

  bool operator==(const AxisSettings&) const = default;
};

}  // namespace velkor::setup
