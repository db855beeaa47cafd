#include "setup/model/input_rules.h"

#include <cmath>
#include <limits>

#include "setup/model/screen.h"

namespace velkor::setup {
namespace {

constexpr double kLongMax = std::numeric_limits<std::int32_t>::max();
constexpr double kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr double kUserCountsMax = 32767;  // a 16-bit motor variable

bool FitsLong(double value) { return value >= kLongMin && value <= kLongMax; }

// The motor keeps user-unit values too, times 10^DecPlaces.
bool FitsScaled(double value, int decPlaces) { return FitsLong(RoundToEven(value * std::pow(10.0, decPlaces))); }

// A converted value that overflowed to infinity is no number: it fits nothing.
bool TextFitsLong(const std::string& text) {
  const auto value = ParseNumber(text);
  return value && FitsLong(*value);
}

bool TextFitsScaled(const std::string& text, int decPlaces) {
  const auto value = ParseNumber(text);
  return value && FitsScaled(*value, decPlaces);
}

Acceptance Refuse(std::string_view text) { return {std::nullopt, Rejected(text)}; }

std::size_t At(int index) { return static_cast<std::size_t>(index); }

std::string Decimals(double value, int places) { return NumberText(RoundToPlaces(value, places)); }

// Problems of one value of a function as converted; a user text that is no
// number was not converted and is caught when it is accepted.
std::optional<std::string> ValueProblem(const AxisSettings& settings, int index, AxisSettings::Value which) {
  const MotionFunction& function = settings.functions.at(At(index));
  using Value = AxisSettings::Value;
  const std::string& user = which == Value::Data ? function.data : which == Value::Vel ? function.vel : function.acc;
  const std::string& motor =
      which == Value::Data ? function.motorData : which == Value::Vel ? function.motorVel : function.motorAcc;
  if (!ParseNumber(user)) return std::nullopt;
  if (which == Value::Acc) {
    const auto motorAcc = ParseNumber(motor);
    if (motorAcc && *motorAcc > kAccelerationCeiling) return std::string(kAccelTooHigh);
  }
  if (!TextFitsScaled(user, settings.decPlaces) || !TextFitsLong(motor)) return std::string(kOutOfMotorRange);
  return std::nullopt;
}

std::optional<std::string> FunctionProblem(const AxisSettings& settings, int index) {
  for (auto which : {AxisSettings::Value::Data, AxisSettings::Value::Vel, AxisSettings::Value::Acc})
    if (auto problem = ValueProblem(settings, index, which)) return problem;
  return std::nullopt;
}

std::optional<std::string> LimitProblem(const AxisSettings& settings, int index) {
  const std::string& text = settings.limits.at(At(index));
  if (!ParseNumber(text)) return std::nullopt;
  const bool fits = index < 4 ? TextFitsLong(text) : TextFitsScaled(text, settings.decPlaces);
  if (!fits || !TextFitsLong(settings.motorLimits.at(At(index)))) return std::string(kOutOfMotorRange);
  return std::nullopt;
}

// The settings, unless the value just converted does not fit the motor.
Acceptance Checked(AxisSettings settings, int index, AxisSettings::Value which) {
  if (auto problem = ValueProblem(settings, index, which)) return Refuse(*problem);
  return {std::move(settings), std::nullopt};
}

Acceptance AcceptScale(AxisSettings settings, int index, std::string_view text) {
  const auto number = ParseNumber(text);
  if (!number) return Refuse(kPositiveIntegersOnly);
  const double value = RoundToEven(*number);
  if (value <= 0) return Refuse(kNonZeroPositive);
  if (index == 1 && value > kUserCountsMax) return Refuse(kUserCountsTooLarge);
  if (!FitsLong(value)) return Refuse(kOutOfMotorRange);
  (index == 0 ? settings.encCounts : settings.userCounts) = IntegerText(value);
  settings.decPlaces = DecPlacesFor(settings.CurrentScale());
  settings.RecomputeAll();
  if (auto problem = OutOfRange(settings)) return {std::nullopt, problem};
  return {std::move(settings), std::nullopt};
}

Acceptance AcceptEncoderRes(AxisSettings settings, std::string_view text) {
  // An empty field is left empty: the next field entered asks for it.
  if (IsBlank(text)) {
    settings.encoderResText = std::string(text);
    return {std::move(settings), std::nullopt};
  }
  const auto number = ParseNumber(text);
  if (!number) return Refuse(kNumbersOnly);
  const double value = std::fabs(RoundToEven(*number));
  if (value == 0) return Refuse(kNonZeroPositive);
  if (!FitsLong(value)) return Refuse(kOutOfMotorRange);
  settings.encoderResText = IntegerText(value);
  settings.encoderRes = value;
  // Degrees and revolutions convert speeds through the resolution: the
  // motor values must follow it, or a download would send the old ones.
  if (settings.unit == Unit::Degree || settings.unit == Unit::Revolution) {
    settings.RecomputeAll();
    if (auto problem = OutOfRange(settings)) return {std::nullopt, problem};
  }
  return {std::move(settings), std::nullopt};
}

}  // namespace

std::string ControlOf(FieldId field) {
  switch (field.group) {
    case FieldGroup::Data: return Indexed("PrePos", field.index);
    case FieldGroup::Vel: return Indexed("PreVel", field.index);
    case FieldGroup::Acc: return Indexed("PreAcc", field.index);
    case FieldGroup::LimVal: return Indexed("LimVals", field.index);
    case FieldGroup::Pid: return Indexed("pid", field.index);
    case FieldGroup::Scale: return Indexed("sf", field.index);
    case FieldGroup::EncoderRes: return "ERes";
  }
  return {};
}

std::string& TextOf(AxisSettings& settings, FieldId field) {
  switch (field.group) {
    case FieldGroup::Data: return settings.functions.at(At(field.index)).data;
    case FieldGroup::Vel: return settings.functions.at(At(field.index)).vel;
    case FieldGroup::Acc: return settings.functions.at(At(field.index)).acc;
    case FieldGroup::LimVal: return settings.limits.at(At(field.index));
    case FieldGroup::Pid: return settings.gains.at(At(field.index));
    case FieldGroup::Scale: return field.index == 0 ? settings.encCounts : settings.userCounts;
    case FieldGroup::EncoderRes: break;
  }
  return settings.encoderResText;
}

const std::string& TextOf(const AxisSettings& settings, FieldId field) {
  return TextOf(const_cast<AxisSettings&>(settings), field);
}

bool FieldEnabled(const AxisSettings& settings, FieldId field) {
  if (field.group != FieldGroup::Data && field.group != FieldGroup::Vel && field.group != FieldGroup::Acc) return true;
  const ModeLayout& layout = LayoutOf(settings.functions.at(At(field.index)).mode);
  if (field.group == FieldGroup::Data) return layout.dataEnabled;
  if (field.group == FieldGroup::Vel) return layout.velocityEnabled && layout.velocityVisible;
  return layout.accelerationVisible;
}

std::optional<Message> RefuseWhileTyping(FieldId field, std::string_view text) {
  if (field.group == FieldGroup::Scale && text == "-") return Rejected(kPositiveIntegersOnly);
  return std::nullopt;
}

Acceptance Accept(const AxisSettings& original, FieldId field, std::string_view text) {
  if (field.group == FieldGroup::Scale) return AcceptScale(original, field.index, text);
  if (field.group == FieldGroup::EncoderRes) return AcceptEncoderRes(original, text);
  const auto number = ParseNumber(text);
  if (!number) return Refuse(kNumbersOnly);
  AxisSettings settings = original;
  const int places = settings.decPlaces;
  const int index = field.index;
  switch (field.group) {
    case FieldGroup::Data: {
      MotionFunction& function = settings.functions.at(At(index));
      if (function.mode == Mode::Torque && std::fabs(*number) > 100) return Refuse(kTorqueExceeded);
      function.data = Decimals(*number, places);
      settings.ConvertValue(index, AxisSettings::Value::Data);
      return Checked(std::move(settings), index, AxisSettings::Value::Data);
    }
    case FieldGroup::Vel:
      settings.functions.at(At(index)).vel = Decimals(*number, places);
      settings.ConvertValue(index, AxisSettings::Value::Vel);
      return Checked(std::move(settings), index, AxisSettings::Value::Vel);
    case FieldGroup::Acc:
      settings.functions.at(At(index)).acc = Decimals(std::fabs(*number), places);
      settings.ConvertValue(index, AxisSettings::Value::Acc);
      return Checked(std::move(settings), index, AxisSettings::Value::Acc);
    case FieldGroup::LimVal: {
      double value = index <= 6 ? std::fabs(*number) : *number;
      value = RoundToPlaces(value, index <= 3 ? 0 : places);
      if (index == 2 || index == 3) value = value > 100 ? 100 : value < 10 ? 10 : value;
      settings.limits.at(At(index)) = NumberText(value);
      for (int j = 0; j < static_cast<int>(settings.limits.size()); ++j) settings.ConvertLimit(j);
      if (auto problem = LimitProblem(settings, index)) return Refuse(*problem);
      return {std::move(settings), std::nullopt};
    }
    case FieldGroup::Pid: {
      // KG offsets gravity either way; the other gains are magnitudes.
      const double value = RoundToEven(index < 6 ? std::fabs(*number) : *number);
      if (!FitsLong(value)) return Refuse(kOutOfMotorRange);
      settings.gains.at(At(index)) = IntegerText(value);
      return {std::move(settings), std::nullopt};
    }
    case FieldGroup::Scale:
    case FieldGroup::EncoderRes: break;
  }
  return {std::move(settings), std::nullopt};
}

std::optional<Message> OutOfRange(const AxisSettings& settings) {
  for (int i = 0; i < static_cast<int>(settings.functions.size()); ++i)
    if (auto problem = FunctionProblem(settings, i))
      return Rejected(*problem + " (function " + std::to_string(i) + ")");
  for (int j = 0; j < static_cast<int>(settings.limits.size()); ++j)
    if (auto problem = LimitProblem(settings, j))
      return Rejected(*problem + " (" + std::string(kLimitFields.at(At(j)).label) + ")");
  return std::nullopt;
}

std::optional<Message> FunctionOutOfRange(const AxisSettings& settings, int function) {
  if (auto problem = ValueProblem(settings, function, AxisSettings::Value::Data)) return Rejected(*problem);
  return std::nullopt;
}

namespace {

// The next enabled field of the column from `index` in steps of `step`; the
// field itself when there is none.
FieldId Along(const AxisSettings& settings, FieldId field, int step) {
  for (int i = field.index + step; i >= 0 && i < static_cast<int>(settings.functions.size()); i += step)
    if (FieldEnabled(settings, {field.group, i})) return {field.group, i};
  return field;
}

// The first enabled of `choices` in the same function, else the field itself.
FieldId Beside(const AxisSettings& settings, FieldId field, std::initializer_list<FieldGroup> choices) {
  for (FieldGroup group : choices)
    if (FieldEnabled(settings, {group, field.index})) return {group, field.index};
  return field;
}

}  // namespace

FieldId NextField(const AxisSettings& settings, FieldId field, Key key) {
  const bool down = key == Key::Enter || key == Key::Down;
  switch (field.group) {
    case FieldGroup::Data:
    case FieldGroup::Vel:
    case FieldGroup::Acc:
      if (down) return Along(settings, field, +1);
      if (key == Key::Up) return Along(settings, field, -1);
      if (field.group == FieldGroup::Data && key == Key::Right)
        return Beside(settings, field, {FieldGroup::Vel, FieldGroup::Acc});
      if (field.group == FieldGroup::Vel && key == Key::Right) return Beside(settings, field, {FieldGroup::Acc});
      if (field.group == FieldGroup::Vel && key == Key::Left) return Beside(settings, field, {FieldGroup::Data});
      if (field.group == FieldGroup::Acc && key == Key::Left)
        return Beside(settings, field, {FieldGroup::Vel, FieldGroup::Data});
      return field;
    case FieldGroup::LimVal:
      // The home value sits on the home-method panel, apart from the others.
      if (field.index == 9) return field;
      if (down) return {field.group, field.index == 8 ? 0 : field.index + 1};
      if (key == Key::Up) return {field.group, field.index == 0 ? 8 : field.index - 1};
      return field;
    case FieldGroup::Pid:
      if (down && field.index < 6) return {field.group, field.index + 1};
      if (key == Key::Up && field.index > 0) return {field.group, field.index - 1};
      return field;
    case FieldGroup::Scale:
    case FieldGroup::EncoderRes: return field;
  }
  return field;
}

}  // namespace velkor::setup
