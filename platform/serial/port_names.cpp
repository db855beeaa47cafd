// Port names as the platform's users write them, mapped onto device nodes.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "platform/registry/registry.h"
#include "platform/serial/serial_port.h"

namespace velkor::serial {
namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

// n of "COMn" (any case, n >= 1, no leading zero), or none.
std::optional<unsigned> ComNumber(std::string_view name) {
  if (name.size() < 4) return std::nullopt;
  for (std::size_t i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  const std::string_view digits = name.substr(3);
  if (digits.front() == '0') return std::nullopt;
  unsigned number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return number;
}

std::optional<std::string> PublishedPath(const std::string& valueName) {
  for (const auto hive : {registry::Hive::CurrentUser, registry::Hive::LocalMachine}) {
    auto path = registry::ReadString(hive, registry::kPortsKey, valueName);
    if (path && !path->empty()) return path;
  }
  return std::nullopt;
}

bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

// "/dev/ttyUSB10" after "/dev/ttyUSB9": family, then number.
struct DeviceOrder {
  static std::pair<std::string_view, unsigned long> Key(std::string_view path) {
    std::size_t split = path.size();
    while (split > 0 && std::isdigit(static_cast<unsigned char>(path[split - 1]))) --split;
    unsigned long number = 0;
    std::from_chars(path.data() + split, path.data() + path.size(), number);
    return {path.substr(0, split), number};
  }
  bool operator()(const std::string& a, const std::string& b) const { return Key(a) < Key(b); }
};

}  // namespace

Result<std::string> ResolvePortName(std::string_view name) {
  if (name.starts_with(kDevicePrefix)) name.remove_prefix(kDevicePrefix.size());
  if (name.starts_with('/')) return Result<std::string>{std::string(name), 0};
  const auto number = ComNumber(name);
  if (!number) return Result<std::string>::Failure(ENOENT);
  if (auto published = PublishedPath("COM" + std::to_string(*number))) return Result<std::string>{*published, 0};
  return Result<std::string>{"/dev/ttyS" + std::to_string(*number - 1), 0};
}

std::vector<PortEntry> ListPorts() {
  std::vector<std::pair<unsigned, PortEntry>> published;
  for (const auto hive : {registry::Hive::CurrentUser, registry::Hive::LocalMachine}) {
    for (const auto& valueName : registry::ReadHive(hive).ValueNames(registry::kPortsKey)) {
      const auto number = ComNumber(valueName);
      if (!number) continue;
      const bool seen = std::any_of(published.begin(), published.end(),
                                    [&](const auto& entry) { return entry.first == *number; });
      if (seen) continue;  // the user's hive wins, as in ResolvePortName
      auto path = ResolvePortName(valueName);
      if (path.ok() && Exists(path.value)) published.push_back({*number, {valueName, path.value}});
    }
  }
  std::sort(published.begin(), published.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

  std::vector<PortEntry> ports;
  for (auto& entry : published) ports.push_back(std::move(entry.second));

  std::vector<std::string> devices;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator("/dev", error)) {
    const std::string file = item.path().filename().string();
    const bool serial = (file.starts_with("ttyS") || file.starts_with("ttyUSB") || file.starts_with("ttyACM")) &&
                        std::isdigit(static_cast<unsigned char>(file.back()));
    if (serial) devices.push_back(item.path().string());
  }
  std::sort(devices.begin(), devices.end(), DeviceOrder{});
  for (const auto& device : devices) {
    const bool named = std::any_of(ports.begin(), ports.end(), [&](const PortEntry& p) { return p.devicePath == device; });
    if (!named) ports.push_back({device, device});
  }
  return ports;
}

}  // namespace velkor::serial
