#include "setup/files/window_settings.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <system_error>

#include "platform/profile/profile.h"
#include "setup/model/units.h"

namespace velkor::setup {
namespace {

constexpr std::string_view kSection = "Locate";

std::optional<int> Twips(const std::filesystem::path& file, std::string_view key) {
  const auto value = ParseNumber(profile::GetProfileString(kSection, key, "", file));
  if (!value || std::fabs(*value) > 1e9) return std::nullopt;
  return static_cast<int>(RoundToEven(*value));
}

// A single-precision number as text, the form the file has always held.
std::string SingleText(int value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", static_cast<double>(static_cast<float>(value)));
  return text;
}

bool EnsureFolder(const std::filesystem::path& file) {
  std::error_code error;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), error);
  return !error;
}

}  // namespace

std::optional<WindowPosition> RestoredPosition(const std::filesystem::path& file) {
  if (profile::GetProfileString(kSection, "Move", "0", file) == "0") return std::nullopt;
  const auto top = Twips(file, "Top");
  const auto left = Twips(file, "Left");
  if (!top || !left) return std::nullopt;
  return WindowPosition{*top, *left};
}

bool SavePosition(const std::filesystem::path& file, WindowPosition position) {
  return EnsureFolder(file) &&
         profile::WriteProfileStrings({{std::string(kSection), "Top", SingleText(position.top)},
                                       {std::string(kSection), "Left", SingleText(position.left)},
                                       {std::string(kSection), "Move", "5"}},
                                      file);
}

bool WriteMoveState(const std::filesystem::path& file, MoveState state) {
  return EnsureFolder(file) &&
         profile::WriteProfileString(kSection, "Move", std::to_string(static_cast<int>(state)), file);
}

}  // namespace velkor::setup
