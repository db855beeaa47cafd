#include "tools/velkor/settings_show.h"

#include <string>

#include "setup/model/screen.h"

namespace velkor::client {
namespace {

using namespace velkor::setup;

std::string LimitUnit(const AxisSettings& settings, LimitConversion conversion) {
  switch (conversion) {
    case LimitConversion::Copy: return "counts";
    case LimitConversion::Torque: return "%";
    case LimitConversion::Position: return settings.PositionCaption();
    case LimitConversion::Velocity: return settings.VelocityCaption();
    case LimitConversion::Acceleration: return settings.AccelerationCaption();
  }
  return {};
}

std::string Bits(int value, std::initializer_list<std::pair<int, const char*>> meanings, const char* none) {
  std::string words;
  for (const auto& [bit, meaning] : meanings)
    if (value & bit) words += (words.empty() ? "" : "; ") + std::string(meaning);
  return words.empty() ? none : words;
}

}  // namespace

void PrintSettings(const AxisSettings& settings, std::FILE* out) {
  const Scale scale = settings.CurrentScale();
  std::fprintf(out, "Scale: %s encoder counts = %s %s (UnitsIndex %d); %d decimals\n", settings.encCounts.c_str(),
               settings.userCounts.c_str(), settings.PositionCaption().c_str(), static_cast<int>(settings.unit),
               DecPlacesFor(scale));
  std::fprintf(out, "\nFunctions (inputs D C B A):\n");
  std::fprintf(out, "  %-3s %-9s %-20s %-20s %-22s %-5s %s\n", "#", "Mode", "Data", "Speed", "Accel", "NoGo",
               "motor units: data speed accel");
  for (int i = 0; i < static_cast<int>(settings.functions.size()); ++i) {
    const MotionFunction& function = settings.functions[static_cast<std::size_t>(i)];
    const ModeLayout& layout = LayoutOf(function.mode);
    auto shown = [](bool used, const std::string& value, const std::string& unit) {
      return used ? value + " " + unit : std::string("-");
    };
    const bool speedUsed = layout.velocityEnabled && layout.velocityVisible;
    std::fprintf(out, "  %-3d %-9s %-20s %-20s %-22s %-5s %s %s %s", i,
                 std::string(kModeNames[static_cast<std::size_t>(function.mode)]).c_str(),
                 shown(layout.dataEnabled, function.data, PositionCaptionOf(settings, i)).c_str(),
                 shown(speedUsed, function.vel, settings.VelocityCaption()).c_str(),
                 shown(layout.accelerationVisible, function.acc, settings.AccelerationCaption()).c_str(),
                 layout.noGoVisible ? (function.noGo ? "yes" : "no") : "-", function.motorData.c_str(),
                 function.motorVel.c_str(), function.motorAcc.c_str());
    if (!layout.velocityVisible) std::fprintf(out, "  (%s)", std::string(layout.velocityCaption).c_str());
    std::fputc('\n', out);
  }
  std::fprintf(out, "\nGains:\n");
  static constexpr const char* kTerms[] = {"KP", "KI", "KD", "KV", "KA", "KL", "KG"};
  for (std::size_t j = 0; j < settings.gains.size(); ++j)
    std::fprintf(out, "  %s %-12s %s\n", kTerms[j], settings.gains[j].c_str(), std::string(kGainNames[j]).c_str());
  std::fprintf(out, "\nLimits:%*s motor units\n", 40, "");
  for (std::size_t j = 0; j < settings.limits.size(); ++j) {
    const std::string value = settings.limits[j] + " " + LimitUnit(settings, kLimitFields[j].conversion);
    std::fprintf(out, "  %-26s %-20s %s\n", std::string(kLimitFields[j].label).c_str(), value.c_str(),
                 settings.motorLimits[j].c_str());
  }
  if (settings.limits[7] == "0" && settings.limits[8] == "0") std::fprintf(out, "  (travel limits are off)\n");
  const OptionBytes bytes = settings.Bytes();
  std::fprintf(out, "\nOptions:\n");
  std::fprintf(out, "  PowerUpOps %-3d %s\n", bytes.powerUp,
               Bits(bytes.powerUp,
                    {{1, "call the home routine at power-up"},
                     {2, "wait for the first Go, then call the home routine"},
                     {4, "manual home (jogging allowed, the first Go sets the position to zero)"},
                     {8, "invert shaft commutation"}},
                    "no power-up action chosen")
                   .c_str());
  std::fprintf(out, "  FaultOps   %-3d %s\n", bytes.fault,
               bytes.fault == 1 ? "full CPU reset on any fault (requires re-home)" : "dynamic brake to stop");
  const std::string limitSwitch = "home to the limit switch (port " +
                                  std::string(settings.options.towardsPositive ? "D" : "C") + ")";
  std::fprintf(out, "  HomeOps    %-3d %s\n", bytes.home,
               Bits(bytes.home,
                    {{1, "set the present position to the home value"},
                     {2, "home to a hard stop"},
                     {4, limitSwitch.c_str()},
                     {8, "back off to the index pulse"},
                     {16, "home towards the positive end of travel"}},
                    "no home method chosen")
                   .c_str());
}

}  // namespace velkor::client
