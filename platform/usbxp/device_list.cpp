// The device list file and the scan of the kernel's USB serial adapters.

#include "platform/usbxp/device_list.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <utility>

namespace velkor::usbxp {
namespace {

constexpr const char* kDeviceListVariable = "VELKOR_USB_DEVICES";

std::string_view NextField(std::string_view& line) {
  const std::size_t tab = line.find('\t');
  const std::string_view field = line.substr(0, tab);
  line = tab == std::string_view::npos ? std::string_view{} : line.substr(tab + 1);
  return field;
}

// First line of a small sysfs attribute, without its line end; empty when unreadable.
std::string ReadAttribute(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string value;
  if (!in || !std::getline(in, value)) return {};
  while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
  return value;
}

// The USB device (the folder with idVendor) that a tty's device folder sits
// under: the interface is its child, so a few steps up are enough.
std::filesystem::path UsbDeviceOf(const std::filesystem::path& ttyFolder) {
  std::error_code error;
  std::filesystem::path folder = std::filesystem::canonical(ttyFolder / "device", error);
  if (error) return {};
  for (int step = 0; step < 4 && !folder.empty() && folder != folder.root_path(); ++step) {
    if (std::filesystem::exists(folder / "idVendor", error)) return folder;
    folder = folder.parent_path();
  }
  return {};
}

bool IsAdapterName(const std::string& name) {
  for (const std::string_view family : {"ttyUSB", "ttyACM"})
    if (name.size() > family.size() && name.compare(0, family.size(), family) == 0 &&
        std::all_of(name.begin() + static_cast<std::ptrdiff_t>(family.size()), name.end(),
                    [](unsigned char c) { return std::isdigit(c) != 0; }))
      return true;
  return false;
}

// ttyACM before ttyUSB, then by number, so that ttyUSB10 follows ttyUSB9.
bool DeviceOrder(const std::string& a, const std::string& b) {
  const auto key = [](const std::string& name) {
    unsigned long number = 0;
    std::from_chars(name.data() + 6, name.data() + name.size(), number);
    return std::pair{name.substr(0, 6), number};
  };
  return key(a) < key(b);
}

}  // namespace

std::vector<DeviceEntry> ParseDeviceList(std::string_view text) {
  std::vector<DeviceEntry> devices;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    DeviceEntry entry;
    entry.description = NextField(line);
    entry.serialNumber = NextField(line);
    entry.path = NextField(line);
    if (!entry.path.empty()) devices.push_back(std::move(entry));
  }
  return devices;
}

std::vector<DeviceEntry> ScanSysfs(const std::filesystem::path& ttyClassFolder,
                                   const std::filesystem::path& deviceFolder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(ttyClassFolder, error)) {
    std::string name = item.path().filename().string();
    if (IsAdapterName(name)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), DeviceOrder);

  std::vector<DeviceEntry> devices;
  for (const std::string& name : names) {
    DeviceEntry entry;
    entry.path = (deviceFolder / name).string();
    if (const auto usb = UsbDeviceOf(ttyClassFolder / name); !usb.empty()) {
      entry.description = ReadAttribute(usb / "product");
      entry.serialNumber = ReadAttribute(usb / "serial");
    }
    devices.push_back(std::move(entry));
  }
  return devices;
}

std::filesystem::path DefaultDeviceListFile() {
  auto variable = [](const char* name) -> std::optional<std::filesystem::path> {
    const char* value = std::getenv(name);
    if (!value || *value != '/') return std::nullopt;  // unset, or not an absolute path as the standard asks
    return std::filesystem::path(value);
  };
  // The runtime folder is the user's alone and emptied at log-out, as the
  // pseudo-terminals listed are.
  if (auto runtime = variable("XDG_RUNTIME_DIR")) return *runtime / "velkor" / "usb-devices";
  std::filesystem::path cache;
  if (auto named = variable("XDG_CACHE_HOME")) cache = *named;
  else if (auto home = variable("HOME")) cache = *home / ".cache";
  else cache = std::filesystem::temp_directory_path();
  return cache / "velkor" / "usb-devices";
}

namespace {

std::vector<DeviceEntry> ReadDeviceList(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return ParseDeviceList(text.str());
}

}  // namespace

std::vector<DeviceEntry> CurrentDevices() {
  if (const char* listFile = std::getenv(kDeviceListVariable)) return ReadDeviceList(listFile);
  // $VELKOR_USB_SYSFS names another tty class folder: tests keep the
  // machine's own adapters out with an empty one.
  const char* sysfs = std::getenv("VELKOR_USB_SYSFS");
  std::vector<DeviceEntry> devices = ScanSysfs(sysfs && *sysfs ? sysfs : "/sys/class/tty", "/dev");
  std::vector<DeviceEntry> simulated = ReadDeviceList(DefaultDeviceListFile());
  devices.insert(devices.end(), std::make_move_iterator(simulated.begin()), std::make_move_iterator(simulated.end()));
  return devices;
}

}  // namespace velkor::usbxp
