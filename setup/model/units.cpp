#include "setup/model/units.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace velkor::setup {

const double kVelUnitFactor = std::bit_cast<double>(std::uint64_t{0x3FAFC9F0800DA731});
const double kAccUnitFactor = std::bit_cast<double>(std::uint64_t{0x406F943C5472A257});

double RoundToEven(double value) { return std::nearbyint(value); }  // the default mode rounds ties to even

double RoundToPlaces(double value, int places) {
  const double factor = std::pow(10.0, places);
  return RoundToEven(value * factor) / factor;
}

namespace {

// Counts of a user value for speeds: lengths use the scale, revolutions
// the encoder resolution (degrees divide by 360 last, see below).
double Counts(double user, const Scale& scale) {
  return scale.unit == Unit::Revolution ? user * scale.encoderRes : user * scale.encCounts / scale.userCounts;
}

}  // namespace

double MotorPosition(double user, const Scale& scale) {
  return RoundToEven(user * scale.encCounts / scale.userCounts);
}

double MotorVelocity(double user, const Scale& scale) {
  if (scale.unit == Unit::Degree) return RoundToEven(user * scale.encoderRes / kVelUnitFactor / 360);
  return RoundToEven(Counts(user, scale) / kVelUnitFactor);
}

double MotorAcceleration(double user, const Scale& scale) {
  if (scale.unit == Unit::Degree) return RoundToEven(user * scale.encoderRes / kAccUnitFactor / 360);
  return RoundToEven(Counts(user, scale) / kAccUnitFactor);
}

double MotorTorque(double percent) { return RoundToEven(percent * kTorqueFactor); }

double MotorFollowingError(double counts) { return RoundToEven(counts); }

int DecPlacesFor(const Scale& scale) {
  const double perUnit = RoundToEven(scale.encCounts / scale.userCounts);
  if (perUnit >= 1000) return 3;
  if (perUnit >= 100) return 2;
  if (perUnit < 10) return 0;
  return 1;
}

std::optional<double> ParseNumber(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  std::size_t at = 0;
  auto digits = [&] {
    const std::size_t start = at;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    return at - start;
  };
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  std::size_t mantissa = digits();
  if (at < text.size() && text[at] == '.') {
    ++at;
    mantissa += digits();
  }
  if (mantissa == 0) return std::nullopt;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (digits() == 0) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  const double value = std::strtod(std::string(text).c_str(), nullptr);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::string IntegerText(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.0f", RoundToEven(value));
  return std::string(text) == "-0" ? "0" : text;
}

std::string NumberText(double value) {
  if (value == 0) return "0";
  char text[64];
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e15 || magnitude < 1e-5) {
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
  }
  // Fixed notation with 15 significant digits, trailing zeros dropped.
  const int integerDigits = magnitude >= 1 ? static_cast<int>(std::floor(std::log10(magnitude))) + 1 : 0;
  std::snprintf(text, sizeof text, "%.*f", std::max(0, 15 - integerDigits), value);
  std::string result = text;
  if (result.find('.') != std::string::npos) {
    while (result.back() == '0') result.pop_back();
    if (result.back() == '.') result.pop_back();
  }
  return result == "-0" ? "0" : result;
}

}  // namespace velkor::setup
