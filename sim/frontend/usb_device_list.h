#pragma once
// The device list through which the USB library stand-in finds simulated USB
// adapters: one device a line, "description TAB serial number TAB device
// path". Several simulators may share one file; each adds its own lines at
// start and takes exactly those away when it stops (the file goes when
// nothing is left in it). Writers hold an exclusive lock (flock) on the file
// while they edit it; a reader may take a shared one.

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::sim {

struct UsbDevice {
  std::string description;
  std::string serial;
  std::string path;
};

std::string UsbDeviceLine(const UsbDevice& device);  // without the line end

class UsbDeviceList {
 public:
  UsbDeviceList() = default;
  // Appends the devices' lines; false and a reason in `error` when the file
  // cannot be written.
  bool Publish(const std::filesystem::path& file, const std::vector<UsbDevice>& devices, std::string& error);
  ~UsbDeviceList();  // withdraws what was published
  UsbDeviceList(const UsbDeviceList&) = delete;
  UsbDeviceList& operator=(const UsbDeviceList&) = delete;

  const std::filesystem::path& File() const { return file_; }  // empty when nothing was published

 private:
  std::filesystem::path file_;
  std::vector<std::string> lines_;
};

}  // namespace velkor::sim
