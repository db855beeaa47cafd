#include "setup/files/axis_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <system_error>

#include "platform/profile/profile.h"
#include "setup/model/view.h"

namespace velkor::setup {
namespace {

constexpr std::size_t kLongestFile = 1 << 20;  // an axis file is a few kilobytes
constexpr std::array<std::string_view, 5> kOwnSections = {"ScaleFactor", "MotionPresets", "PIDValues", "LimValues",
                                                          "OtherOps"};

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

// A whole number from `low` to `high`, or nothing.
std::optional<int> WholeNumber(const std::string& text, int low, int high) {
  const auto value = ParseNumber(text);
  if (!value || *value != std::floor(*value) || *value < low || *value > high) return std::nullopt;
  return static_cast<int>(*value);
}

}  // namespace

std::filesystem::path AxisFileName(const std::filesystem::path& chosen) {
  std::filesystem::path name = chosen;
  if (name.extension() != ".adf") name.replace_extension(".adf");
  return name;
}

std::vector<AxisFileEntry> AxisFileEntries(const AxisSettings& settings) {
  std::vector<AxisFileEntry> entries;
  auto put = [&](std::string_view section, std::string key, std::string value) {
    entries.push_back({std::string(section), std::move(key), std::move(value)});
  };
  put("ScaleFactor", "EncCounts", settings.encCounts);
  put("ScaleFactor", "UserCounts", settings.userCounts);
  put("ScaleFactor", "UnitsIndex", std::to_string(static_cast<int>(settings.unit)));
  using Field = std::function<std::string(const MotionFunction&)>;
  const std::array<std::pair<std::string_view, Field>, 8> motionKeys = {{
      {"Mode", [](const MotionFunction& f) { return std::to_string(static_cast<int>(f.mode)); }},
      {"Data", [](const MotionFunction& f) { return f.data; }},
      {"Vel", [](const MotionFunction& f) { return f.vel; }},
      {"Acc", [](const MotionFunction& f) { return f.acc; }},
      {"NoGo", [](const MotionFunction& f) { return std::string(f.noGo ? "1" : "0"); }},
      {"MotorData", [](const MotionFunction& f) { return f.motorData; }},
      {"MotorVel", [](const MotionFunction& f) { return f.motorVel; }},
      {"MotorAcc", [](const MotionFunction& f) { return f.motorAcc; }},
  }};
  for (const auto& [name, field] : motionKeys)
    for (std::size_t i = 0; i < settings.functions.size(); ++i)
      put("MotionPresets", Indexed(name, i), field(settings.functions[i]));
  for (std::size_t j = 0; j < settings.gains.size(); ++j) put("PIDValues", Indexed("pid", j), settings.gains[j]);
  for (std::size_t j = 0; j < settings.limits.size(); ++j) put("LimValues", Indexed("LimVal", j), settings.limits[j]);
  for (std::size_t j = 0; j < settings.limits.size(); ++j)
    put("LimValues", Indexed("MotorLimVal", j), settings.motorLimits[j]);
  const OptionBytes bytes = settings.Bytes();
  put("OtherOps", "PowerUpOps", std::to_string(bytes.powerUp));
  put("OtherOps", "FaultOps", std::to_string(bytes.fault));
  put("OtherOps", "HomeOps", std::to_string(bytes.home));
  return entries;
}

std::vector<std::string> AxisFileDifferences(const AxisSettings& a, const AxisSettings& b) {
  const auto left = AxisFileEntries(a);
  const auto right = AxisFileEntries(b);
  std::vector<std::string> lines;
  for (std::size_t k = 0; k < left.size() && k < right.size(); ++k)
    if (left[k].value != right[k].value) lines.push_back(left[k].key + ": " + left[k].value + " | " + right[k].value);
  return lines;
}

std::optional<std::string> SaveAxisFile(const AxisSettings& settings, const std::filesystem::path& path) {
  std::vector<profile::ProfileEntry> entries;
  // The motor's own section is named after its serial number; without a
  // motor (or with a serial number no section name can hold) there is none.
  const std::string& serial = settings.motorInfo[1];
  if (profile::ProfileText probe; probe.Set(serial, "Model", settings.motorInfo[0])) {
    for (const auto& [key, value] : {std::pair{"Model", 0}, {"Model", 0}, {"Firmware", 2}, {"EncoderRes", 3}, {"Address", 4}})
      entries.push_back({serial, key, settings.motorInfo[static_cast<std::size_t>(value)]});
  }
  for (AxisFileEntry& entry : AxisFileEntries(settings))
    entries.push_back({std::move(entry.section), std::move(entry.key), std::move(entry.value)});

  if (profile::WriteProfileStrings(entries, path)) return std::nullopt;
  std::error_code error;
  const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
  if (!std::filesystem::is_directory(folder, error)) return "cannot save " + path.string() + ": the folder does not exist";
  for (const auto& entry : entries)
    if (profile::ProfileText probe; !probe.Set(entry.section, entry.key, entry.value))
      return "cannot save " + path.string() + ": " + entry.key + " holds a line break";
  return "cannot save " + path.string() + ": the file or its folder cannot be written";
}

OpenedAxisFile OpenAxisFile(const std::filesystem::path& path) {
  OpenedAxisFile opened;
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    opened.error = "cannot open " + path.string() + ": no such file";
    return opened;
  }
  const auto profile = profile::ReadProfile(path, kLongestFile);
  if (!profile) {
    opened.error = "cannot open " + path.string() + ": it cannot be read, or it is not an axis data file";
    return opened;
  }
  auto read = [&](std::string_view section, const std::string& key) {
    return profile->Get(section, key).value_or("0");
  };
  // A number the lists cannot show is read as the first item, and said.
  auto listIndex = [&](std::string_view section, const std::string& key, int last) {
    const std::string text = read(section, key);
    if (const auto index = WholeNumber(text, 0, last)) return *index;
    opened.warnings.push_back(key + " is \"" + text + "\", not 0 to " + std::to_string(last) + ": read as 0");
    return 0;
  };

  AxisSettings settings;
  settings.encCounts = read("ScaleFactor", "EncCounts");
  settings.userCounts = read("ScaleFactor", "UserCounts");
  settings.unit = static_cast<Unit>(listIndex("ScaleFactor", "UnitsIndex", 4));
  for (std::size_t i = 0; i < settings.functions.size(); ++i) {
    MotionFunction& function = settings.functions[i];
    function.mode = static_cast<Mode>(listIndex("MotionPresets", Indexed("Mode", i), 7));
    function.data = read("MotionPresets", Indexed("Data", i));
    function.vel = read("MotionPresets", Indexed("Vel", i));
    function.acc = read("MotionPresets", Indexed("Acc", i));
    function.noGo = listIndex("MotionPresets", Indexed("NoGo", i), 1) == 1;
    function.motorData = read("MotionPresets", Indexed("MotorData", i));
    function.motorVel = read("MotionPresets", Indexed("MotorVel", i));
    function.motorAcc = read("MotionPresets", Indexed("MotorAcc", i));
  }
  for (std::size_t j = 0; j < settings.gains.size(); ++j) settings.gains[j] = read("PIDValues", Indexed("pid", j));
  for (std::size_t j = 0; j < settings.limits.size(); ++j) {
    settings.limits[j] = read("LimValues", Indexed("LimVal", j));
    settings.motorLimits[j] = read("LimValues", Indexed("MotorLimVal", j));
  }
  // The controls show what the bytes say, and the bytes are rebuilt from
  // them, so a stray bit never reaches the motor.
  OptionBytes bytes;
  bytes.powerUp = listIndex("OtherOps", "PowerUpOps", 255);
  bytes.fault = listIndex("OtherOps", "FaultOps", 255);
  bytes.home = listIndex("OtherOps", "HomeOps", 255);
  settings.options = ControlsFrom(bytes);
  if (!(settings.Bytes() == bytes))
    opened.warnings.push_back("option bytes " + std::to_string(bytes.powerUp) + ", " + std::to_string(bytes.fault) +
                              ", " + std::to_string(bytes.home) + " read as the options they choose");
  opened.settings = std::move(settings);

  for (const std::string& section : profile->Sections()) {
    const bool own = std::any_of(kOwnSections.begin(), kOwnSections.end(),
                                 [&](std::string_view name) { return Lower(name) == Lower(section); });
    if (!own) {
      if (auto resolution = profile->Get(section, "EncoderRes")) {
        opened.reportedEncoderRes = *resolution;
        break;
      }
    }
  }
  return opened;
}

}  // namespace velkor::setup
