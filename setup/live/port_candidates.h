#pragma once
// The serial ports a motor scan probes, as COM numbers. The engine opens
// "COMn" as the device the Ports key names for it, else /dev/ttyS(n-1);
// most of those exist on a PC without any hardware behind them, so only the
// numbers that lead to a real port are worth a probe.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::setup {

inline constexpr int kHighestComPort = 256;

struct PortCandidate {
  int number = 0;      // n of COMn
  std::string device;  // the device "COMn" opens
  bool operator==(const PortCandidate&) const = default;
};

// Where the machine's devices are looked for; tests give folders of their own.
struct DeviceFolders {
  std::filesystem::path dev = "/dev";
  std::filesystem::path ttyClass = "/sys/class/tty";
};

// Every COM number of this machine worth a probe, ascending:
// - a number the Ports key names (the user's hive first) whose device exists;
// - COMn without such a name when /dev/ttyS(n-1) has a driver behind it in
//   sysfs that found a UART (its type is not 0);
// - each /dev/ttyUSB* and /dev/ttyACM* that no name leads to gets the lowest
//   number that is neither named nor a real ttyS port, written into the
//   user's Ports key (its /dev/serial/by-id link where it has one), so that
//   an adapter keeps its name from one scan to the next.
std::vector<PortCandidate> FindPortCandidates(const DeviceFolders& folders = {});

// The given COM numbers with the devices they open, ascending, each once.
std::vector<PortCandidate> CandidatesFor(const std::vector<int>& numbers);

// "COM3,COM7" (any case, blanks allowed) as numbers; nothing when a word is
// not a COM name from COM1 to COM256.
std::optional<std::vector<int>> ParsePortList(std::string_view text);

// What lets this user open `device`, which refused them for lack of
// permission: joining the group that owns it.
std::string PermissionAdvice(const std::string& device);

}  // namespace velkor::setup
