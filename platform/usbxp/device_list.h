#pragma once
// Where the devices of the library come from.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::usbxp {

struct DeviceEntry {
  std::string description;
  std::string serialNumber;
  std::string path;  // the serial device node
  bool operator==(const DeviceEntry&) const = default;
};

// One device per line: description, serial number and device path, separated
// by tabs. Empty lines, lines starting with '#' and lines without a path are
// skipped; a CR before the line end is dropped.
std::vector<DeviceEntry> ParseDeviceList(std::string_view text);

// USB serial adapters (ttyUSB*, ttyACM*) under a sysfs tty class folder, with
// the product and serial strings of the USB device they belong to, in device
// order; their nodes are expected in `deviceFolder`.
std::vector<DeviceEntry> ScanSysfs(const std::filesystem::path& ttyClassFolder,
                                   const std::filesystem::path& deviceFolder);

// The file that a simulator lists its devices in when $VELKOR_USB_DEVICES is
// not set: $XDG_RUNTIME_DIR/velkor/usb-devices, else usb-devices in
// $XDG_CACHE_HOME/velkor (default ~/.cache/velkor).
std::filesystem::path DefaultDeviceListFile();

// The list of the moment: the $VELKOR_USB_DEVICES file when the variable is
// set (a missing file is an empty list), else the adapters of the machine
// followed by the devices in the default list, so that a simulator started
// without the variable is found by programs started without it.
std::vector<DeviceEntry> CurrentDevices();

}  // namespace velkor::usbxp
