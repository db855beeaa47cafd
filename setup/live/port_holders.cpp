#include "setup/live/port_holders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <optional>
#include <system_error>

namespace velkor::setup {
namespace {

namespace fs = std::filesystem;

std::optional<int> Number(std::string_view text) {
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}

// What a device is, however it is named (/dev/serial/by-id/..., a link).
struct DeviceIdentity {
  bool characterDevice = false;
  dev_t rdev = 0;
  std::string canonical;
  std::optional<int> ptyIndex;  // N of /dev/pts/N
};

DeviceIdentity Identify(const std::string& device) {
  DeviceIdentity identity;
  std::error_code ignored;
  identity.canonical = fs::weakly_canonical(device, ignored).string();
  struct stat status {};
  if (::stat(device.c_str(), &status) == 0 && S_ISCHR(status.st_mode)) {
    identity.characterDevice = true;
    identity.rdev = status.st_rdev;
  }
  constexpr std::string_view kPts = "/dev/pts/";
  if (std::string_view(identity.canonical).starts_with(kPts))
    identity.ptyIndex = Number(std::string_view(identity.canonical).substr(kPts.size()));
  return identity;
}

bool LeadsTo(const fs::path& link, const std::string& target, const DeviceIdentity& identity) {
  if (target.empty() || target.front() != '/') return false;  // sockets, pipes
  if (identity.characterDevice) {
    struct stat status {};
    return ::stat(link.c_str(), &status) == 0 && S_ISCHR(status.st_mode) && status.st_rdev == identity.rdev;
  }
  std::error_code ignored;
  return fs::weakly_canonical(target, ignored).string() == identity.canonical;
}

// The pseudo-terminal master's fdinfo names the terminal it serves.
bool MastersPty(const fs::path& process, const std::string& fd, int index) {
  std::ifstream info(process / "fdinfo" / fd);
  std::string line;
  while (std::getline(info, line))
    if (line.starts_with("tty-index:")) {
      std::string_view value = std::string_view(line).substr(10);
      while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
      return Number(value) == index;
    }
  return false;
}

std::string ProgramName(const fs::path& process) {
  std::ifstream comm(process / "comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

}  // namespace

std::vector<PortHolder> FindPortHolders(const std::string& device, const fs::path& proc) {
  const DeviceIdentity identity = Identify(device);
  const int self = static_cast<int>(::getpid());
  std::vector<PortHolder> holders;
  std::error_code error;
  for (const auto& process : fs::directory_iterator(proc, error)) {
    const auto pid = Number(process.path().filename().string());
    if (!pid || *pid == self) continue;
    bool holds = false;
    bool otherEnd = false;
    std::error_code unreadable;
    for (const auto& entry : fs::directory_iterator(process.path() / "fd", unreadable)) {
      std::error_code gone;
      const std::string target = fs::read_symlink(entry.path(), gone).string();
      if (gone) continue;
      const std::string fd = entry.path().filename().string();
      if (identity.ptyIndex && (target == "/dev/ptmx" || target == "/dev/pts/ptmx"))
        otherEnd = otherEnd || MastersPty(process.path(), fd, *identity.ptyIndex);
      else
        holds = holds || LeadsTo(entry.path(), target, identity);
    }
    if (holds && !otherEnd) holders.push_back({*pid, ProgramName(process.path())});
  }
  std::sort(holders.begin(), holders.end(), [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
  return holders;
}

}  // namespace velkor::setup
