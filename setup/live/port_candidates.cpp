#include "setup/live/port_candidates.h"

#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <map>
#include <set>

#include "platform/registry/registry.h"

namespace velkor::setup {
namespace {

namespace fs = std::filesystem;
using Names = std::map<int, std::string>;  // COM number -> device path

std::optional<int> ComNumber(std::string_view name) {
  if (name.size() < 4) return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  const std::string_view digits = name.substr(3);
  int number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size() || digits.front() == '0') return std::nullopt;
  if (number < 1 || number > kHighestComPort) return std::nullopt;
  return number;
}

// The Ports key of both hives, the user's winning, as the engine reads it.
Names PortsKey() {
  Names named;
  for (const auto hive : {registry::Hive::CurrentUser, registry::Hive::LocalMachine}) {
    const auto contents = registry::ReadHive(hive);
    for (const auto& name : contents.ValueNames(registry::kPortsKey)) {
      const auto number = ComNumber(name);
      if (!number || named.contains(*number)) continue;
      const auto value = contents.Get(registry::kPortsKey, name);
      const auto* path = value ? std::get_if<std::string>(&*value) : nullptr;
      if (path && !path->empty()) named.emplace(*number, *path);
    }
  }
  return named;
}

bool Exists(const fs::path& path) {
  std::error_code ignored;
  return fs::exists(path, ignored);
}

std::string Canonical(const fs::path& path) {
  std::error_code ignored;
  return fs::weakly_canonical(path, ignored).string();
}

std::string SerialDevice(const DeviceFolders& folders, int number) {
  return (folders.dev / ("ttyS" + std::to_string(number - 1))).string();
}

// The 8250 driver keeps a device for every slot it could serve; a slot
// without a UART says type 0.
bool RealUart(const DeviceFolders& folders, int number) {
  const std::string name = "ttyS" + std::to_string(number - 1);
  if (!Exists(folders.dev / name) || !Exists(folders.ttyClass / name / "device")) return false;
  std::ifstream typeFile(folders.ttyClass / name / "type");
  int type = -1;
  return !(typeFile >> type) || type != 0;
}

// ttyUSB0 .. ttyUSB10, then ttyACM0 ..: family, then number.
std::vector<fs::path> UsbAdapters(const DeviceFolders& folders) {
  std::vector<std::pair<std::pair<std::string, unsigned long>, fs::path>> found;
  std::error_code error;
  for (const auto& item : fs::directory_iterator(folders.dev, error)) {
    const std::string file = item.path().filename().string();
    for (const std::string_view family : {"ttyUSB", "ttyACM"}) {
      if (!file.starts_with(family) || file.size() == family.size()) continue;
      unsigned long number = 0;
      const auto [end, failed] = std::from_chars(file.data() + family.size(), file.data() + file.size(), number);
      if (failed == std::errc() && end == file.data() + file.size())
        found.push_back({{std::string(family), number}, item.path()});
    }
  }
  std::sort(found.begin(), found.end());
  std::vector<fs::path> adapters;
  for (auto& entry : found) adapters.push_back(std::move(entry.second));
  return adapters;
}

// The adapter's /dev/serial/by-id link, which names the same adapter
// whichever order it was plugged in; the device node when it has none.
std::string StableName(const DeviceFolders& folders, const fs::path& device) {
  const std::string target = Canonical(device);
  std::error_code error;
  for (const auto& link : fs::directory_iterator(folders.dev / "serial" / "by-id", error))
    if (Canonical(link.path()) == target) return link.path().string();
  return device.string();
}

// The lowest free number for `device`, chosen and written in one locked
// edit, so that a simulator publishing at the same time cannot take it too.
void Name(const DeviceFolders& folders, const std::string& device, const Names& named) {
  registry::Edit(registry::Hive::CurrentUser, [&](registry::HiveContents& contents) {
    for (int number = 1; number <= kHighestComPort; ++number) {
      const std::string name = "COM" + std::to_string(number);
      if (named.contains(number) || contents.Get(registry::kPortsKey, name) || RealUart(folders, number)) continue;
      contents.Set(registry::kPortsKey, name, registry::Value{device});
      return true;
    }
    return false;
  });
}

}  // namespace

std::vector<PortCandidate> FindPortCandidates(const DeviceFolders& folders) {
  Names named = PortsKey();
  std::set<std::string> reached;
  for (const auto& [number, path] : named) reached.insert(Canonical(path));
  bool renamed = false;
  for (const auto& adapter : UsbAdapters(folders)) {
    if (reached.contains(Canonical(adapter))) continue;
    Name(folders, StableName(folders, adapter), named);
    renamed = true;
  }
  if (renamed) named = PortsKey();

  std::vector<PortCandidate> candidates;
  for (int number = 1; number <= kHighestComPort; ++number) {
    if (const auto entry = named.find(number); entry != named.end()) {
      if (Exists(entry->second)) candidates.push_back({number, entry->second});
    } else if (RealUart(folders, number)) {
      candidates.push_back({number, SerialDevice(folders, number)});
    }
  }
  return candidates;
}

std::vector<PortCandidate> CandidatesFor(const std::vector<int>& numbers) {
  const Names named = PortsKey();
  std::set<int> ordered(numbers.begin(), numbers.end());
  std::vector<PortCandidate> candidates;
  for (const int number : ordered) {
    if (number < 1 || number > kHighestComPort) continue;
    const auto entry = named.find(number);
    candidates.push_back({number, entry != named.end() ? entry->second : SerialDevice(DeviceFolders{}, number)});
  }
  return candidates;
}

std::optional<std::vector<int>> ParsePortList(std::string_view text) {
  std::vector<int> numbers;
  while (!text.empty()) {
    const std::size_t comma = text.find(',');
    std::string_view word = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    while (!word.empty() && std::isspace(static_cast<unsigned char>(word.front()))) word.remove_prefix(1);
    while (!word.empty() && std::isspace(static_cast<unsigned char>(word.back()))) word.remove_suffix(1);
    if (word.empty()) continue;
    const auto number = ComNumber(word);
    if (!number) return std::nullopt;
    numbers.push_back(*number);
  }
  return numbers;
}

std::string PermissionAdvice(const std::string& device) {
  // The group that may open the device; serial ports belong to dialout on
  // the common distributions.
  std::string group = "dialout";
  struct stat status {};
  if (::stat(device.c_str(), &status) == 0) {
    char buffer[1024];
    struct group entry {};
    struct group* found = nullptr;
    if (::getgrgid_r(status.st_gid, &entry, buffer, sizeof buffer, &found) == 0 && found && status.st_gid != 0)
      group = found->gr_name;
  }
  return "Add the user to the group " + group + " (sudo usermod -aG " + group + " $USER) and log in again.";
}

}  // namespace velkor::setup
