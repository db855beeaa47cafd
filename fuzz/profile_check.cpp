#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "fuzz/input_checks.h"
#include "platform/profile/profile.h"

namespace velkor::fuzz {
namespace {

// Names compare without regard to ASCII case and surrounding blanks.
bool SameName(std::string_view a, std::string_view b) {
  auto trimmed = [](std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
  };
  a = trimmed(a);
  b = trimmed(b);
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

Violations CheckProfileText(std::span<const std::uint8_t> bytes) {
  Violations violations;
  const std::string text(bytes.begin(), bytes.end());
  auto profile = profile::ProfileText::Parse(text);
  if (profile.Text() != text) violations.push_back("a profile is not written back as it was read");

  // Every key it has, before one key is set.
  std::vector<std::pair<std::pair<std::string, std::string>, std::optional<std::string>>> before;
  for (const std::string& section : profile.Sections())
    for (const std::string& key : profile.Keys(section)) before.push_back({{section, key}, profile.Get(section, key)});
  // Into the first section when its name can be written again, else a new one.
  std::string section = profile.Sections().empty() ? "" : profile.Sections().front();
  if (section.empty() || !profile.Set(section, "FuzzKey", "a value")) {
    section = "Fuzz";
    if (!profile.Set(section, "FuzzKey", "a value")) {
      violations.push_back("a plain key could not be set");
      return violations;
    }
  }
  const auto reread = profile::ProfileText::Parse(profile.Text());
  if (reread.Get(section, "FuzzKey") != std::optional<std::string>("a value"))
    violations.push_back("a key set does not read back");
  for (const auto& [name, value] : before) {
    if (SameName(name.second, "FuzzKey") && SameName(name.first, section)) continue;
    if (reread.Get(name.first, name.second) != value) violations.push_back("setting a key changed another");
  }
  return violations;
}

}  // namespace velkor::fuzz
