#pragma once
// Which other programs have a device open, as /proc tells it.

#include <filesystem>
#include <string>
#include <vector>

namespace velkor::setup {

struct PortHolder {
  int pid = 0;
  std::string program;  // /proc/PID/comm
  bool operator==(const PortHolder&) const = default;
};

// The processes other than this one with `device` open, by their
// /proc/PID/fd links, in PID order. A process that holds the master side of
// the pseudo-terminal `device` is the other end of its line (a simulator, a
// terminal window), not a rival for it, and is left out. Processes whose
// entries this user may not read are not seen.
std::vector<PortHolder> FindPortHolders(const std::string& device, const std::filesystem::path& proc);

}  // namespace velkor::setup
