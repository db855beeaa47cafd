// Memory, assignment and report commands of the firmware model.
#include <vector>

#include "sim/firmware/expression.h"
#include "sim/firmware/firmware.h"

namespace velkor::sim {
namespace {

// "VLD(aaa,10)" -> variable text and count text.
bool SplitCall(std::string_view token, std::string_view name, std::string_view& variable,
               std::string_view& count) {
  if (!token.starts_with(name) || !token.ends_with(")")) return false;
  std::string_view inner = token.substr(name.size(), token.size() - name.size() - 1);
  std::size_t comma = inner.rfind(',');
  if (comma == std::string_view::npos) return false;
  variable = inner.substr(0, comma);
  count = inner.substr(comma + 1);
  return true;
}

}  // namespace

bool Firmware::ExecuteMemory(std::string_view token) {
  std::string_view variableText;
  std::string_view countText;
  bool load = SplitCall(token, "VLD(", variableText, countText);
  bool store = !load && SplitCall(token, "VST(", variableText, countText);
  if (!load && !store) return false;
  auto variable = Variables::Parse(variableText);
  auto count = ParseNumber(countText);
  if (!variable || !count || *count < 1 || !Variables::Advance(*variable, *count - 1)) {
    CommandFailed();
    return true;
  }
  int width = Variables::Width(variable->kind);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(width));
  for (int i = 0; i < *count; ++i) {
    VarRef element = *Variables::Advance(*variable, i);
    if (load) {
      if (!memory_.Read(eeprom_pointer_, bytes)) {
        CommandFailed();
        return true;
      }
      std::uint32_t value = 0;
      for (std::uint8_t b : bytes) value = (value << 8) | b;
      variables_.Set(element, static_cast<std::int32_t>(value));
    } else {
      auto value = static_cast<std::uint32_t>(variables_.Get(element));
      for (int k = 0; k < width; ++k) {
        bytes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - k)));
      }
      if (eeprom_pointer_ + width > kEepromSize) {
        CommandFailed();
        return true;
      }
      // Without EEPROM a store goes nowhere, but the pointer moves on as usual.
      if (config_.hasEeprom) memory_.Write(eeprom_pointer_, bytes);
    }
    eeprom_pointer_ += width;
  }
  return true;
}

bool Firmware::ExecuteAssignment(std::string_view token) {
  std::size_t equals = token.find('=');
  std::string_view target = token.substr(0, equals);
  auto value = EvaluateExpression(token.substr(equals + 1), [this](std::string_view n) { return ValueOf(n); });
  if (!value) return false;
  if (auto fits = AssignMotion(target, *value)) return *fits;
  if (target == "ADDR") {
    if (*value < 0 || *value > 127) return false;
    address_ = *value;
  } else if (target == "EPTR") {
    if (*value < 0 || *value >= kEepromSize) return false;
    eeprom_pointer_ = *value;
  } else if (target == "CLK") {
    clock_at_zero_ = *value;
    clock_zero_ = now_;
  } else if (auto variable = Variables::Parse(target)) {
    variables_.Set(*variable, *value);
  } else {
    return false;
  }
  return true;
}

bool Firmware::ExecuteReport(std::string_view name, std::string& answer) {
  std::string text;
  if (auto value = MotionReport(name)) {
    text = std::to_string(*value);
  } else if (name == "MODE") {
    text = std::string(1, Mode());
  } else if (name == "SP") {
    text = std::to_string(config_.samplePeriod) + "/" + config_.firmware;
  } else if (auto value = ValueOf(name)) {
    text = std::to_string(*value);
  } else {
    return false;
  }
  answer += text;
  answer += '\r';
  return true;
}

std::optional<std::int32_t> Firmware::ValueOf(std::string_view name) const {
  if (auto variable = Variables::Parse(name)) return variables_.Get(*variable);
  if (auto value = MotionValue(name)) return value;
  if (name == "ADDR") return address_;
  if (name == "EPTR") return eeprom_pointer_;
  if (name == "CLK") return static_cast<std::int32_t>(ClockSamples());
  if (name == "U") return Inputs();
  if (name.size() == 3 && name[0] == 'U' && name[1] >= 'A' && name[1] <= 'G' && name[2] == 'I') {
    return (Inputs() >> (name[1] - 'A')) & 1;
  }
  if (name.size() == 2 && name[0] == 'B') {
    if (auto bit = Status(name[1])) return *bit ? 1 : 0;
  }
  return std::nullopt;
}

std::int64_t Firmware::ClockSamples() const {
  std::int64_t period = static_cast<std::int64_t>(config_.samplePeriod) * 10;
  if (period <= 0) return 0;
  return clock_at_zero_ + (now_ - clock_zero_).count() * pid_factor_ / period;
}

bool Firmware::SetInput(char letter, bool level) {
  if (letter < 'A' || letter > 'G') return false;
  auto bit = static_cast<std::uint8_t>(1u << (letter - 'A'));
  inputs_ = static_cast<std::uint8_t>(level ? (inputs_ | bit) : (inputs_ & ~bit));
  return true;
}

bool Firmware::SetStatus(char letter, bool on) {
  switch (letter) {
    case 'e': position_error_ = on; return true;
    case 'h': over_temperature_ = on; return true;
    case 'a': alarm_ = on; return true;
    case 's': command_error_ = on; return true;
    default: return false;
  }
}

std::optional<bool> Firmware::Status(char letter) const {
  switch (letter) {
    case 't': return trajectory_.InProgress() || (host_mode_ && host_.Running());  // trajectory in progress
    case 'o': return drive_off_;  // drive off
    case 'e': return position_error_;  // position error beyond its limit
    case 'h': return over_temperature_;  // over temperature
    case 'a': return alarm_ || position_error_ || over_temperature_;  // any alarm
    case 's': return command_error_;  // a command was not understood
    case 'i': return load_.IndexSeen();  // index pulse latched
    case 'l': return load_.LimitActive(-1);  // a limit switch on the negative side tripped
    case 'r': return load_.LimitActive(1);  // one on the positive side
    case 'k': return machine_.Running();  // stored program running
    default: return std::nullopt;
  }
}

}  // namespace velkor::sim
