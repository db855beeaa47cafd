#include "setup/model/axis_settings.h"

namespace velkor::setup {
namespace {

// The motor-unit text of a user-unit text, or nothing when it is no number.
template <class Convert>
void ConvertInto(const std::string& user, std::string& motor, Convert&& convert) {
  if (const auto value = ParseNumber(user)) motor = IntegerText(convert(*value));
}

}  // namespace

AxisSettings::AxisSettings() {
  for (std::size_t i = 0; i < limits.size(); ++i) limits[i] = std::string(kLimitFields[i].defaultText);
  RecomputeAll();
}

Scale AxisSettings::CurrentScale() const {
  Scale scale;
  const auto counts = ParseNumber(encCounts), users = ParseNumber(userCounts);
  if (counts && *counts > 0) scale.encCounts = *counts;
  if (users && *users > 0) scale.userCounts = *users;
  scale.unit = unit;
  if (encoderRes > 0) scale.encoderRes = encoderRes;
  return scale;
}

void AxisSettings::ConvertValue(int index, Value value) {
  MotionFunction& function = functions.at(static_cast<std::size_t>(index));
  const Scale scale = CurrentScale();
  switch (value) {
    case Value::Data:
      return ConvertInto(function.data, function.motorData, [&](double u) {
        switch (function.mode) {
          case Mode::ELimit: return MotorFollowingError(u);
          case Mode::Torque: return MotorTorque(u);
          default: return MotorPosition(u, scale);
        }
      });
    case Value::Vel:
      return ConvertInto(function.vel, function.motorVel, [&](double u) { return MotorVelocity(u, scale); });
    case Value::Acc:
      return ConvertInto(function.acc, function.motorAcc, [&](double u) { return MotorAcceleration(u, scale); });
  }
}

void AxisSettings::ConvertFunction(int index) {
  for (Value value : {Value::Data, Value::Vel, Value::Acc}) ConvertValue(index, value);
}

void AxisSettings::ConvertLimit(int index) {
  const auto i = static_cast<std::size_t>(index);
  const Scale scale = CurrentScale();
  switch (kLimitFields.at(i).conversion) {
    case LimitConversion::Copy: motorLimits[i] = limits[i]; return;
    case LimitConversion::Torque: return ConvertInto(limits[i], motorLimits[i], MotorTorque);
    case LimitConversion::Position:
      return ConvertInto(limits[i], motorLimits[i], [&](double u) { return MotorPosition(u, scale); });
    case LimitConversion::Velocity:
      return ConvertInto(limits[i], motorLimits[i], [&](double u) { return MotorVelocity(u, scale); });
    case LimitConversion::Acceleration:
      return ConvertInto(limits[i], motorLimits[i], [&](double u) { return MotorAcceleration(u, scale); });
  }
}

void AxisSettings::RecomputeAll() {
  for (int k = 0; k < static_cast<int>(functions.size()); ++k) ConvertFunction(k);
  for (int i = 0; i < static_cast<int>(limits.size()); ++i) ConvertLimit(i);
}

std::string AxisSettings::PositionCaption() const { return std::string(kUnitNames.at(static_cast<std::size_t>(unit))); }

}  // namespace velkor::setup
