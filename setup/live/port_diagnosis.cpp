#include "setup/live/port_diagnosis.h"

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <system_error>
#include <thread>

#include "setup/live/port_holders.h"
#include "setup/live/scan_port.h"

namespace velkor::setup {
namespace {

namespace fs = std::filesystem;

class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Opens the port as the engine does (read and write, locked), only to see
// what refuses it: 0, or the errno of the refusal (EBUSY for a lock held).
int OpenRefusal(const std::string& device) {
  const UniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return errno;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return errno == EWOULDBLOCK ? EBUSY : errno;
  termios settings{};
  if (::tcgetattr(fd.get(), &settings) != 0) return errno;
  return 0;
}

// A login prompt on the port is a service, not a program to close.
std::string CloseAdvice(const std::vector<PortHolder>& holders, const std::string& device) {
  for (const PortHolder& holder : holders)
    if (holder.program == "agetty" || holder.program == "getty") {
      std::error_code ignored;
      const std::string tty = fs::weakly_canonical(device, ignored).filename().string();
      return "A login prompt runs on it: sudo systemctl disable --now serial-getty@" + tty +
             ".service, then scan again.";
    }
  return "Close that program, then scan again.";
}

std::string HoldersText(const std::vector<PortHolder>& holders) {
  std::string text;
  for (const PortHolder& holder : holders) {
    if (!text.empty()) text += ", ";
    text += (holder.program.empty() ? "a program" : holder.program) + " (PID " + std::to_string(holder.pid) + ")";
  }
  return text;
}

struct AdapterLatency {
  std::string name;  // ttyUSB0
  int milliseconds = 0;
};

// The USB adapter's latency timer, under the name the port was given or the
// node it leads to; nothing for a device that has none.
std::optional<AdapterLatency> LatencyTimer(const std::string& device, const fs::path& usbSerial) {
  std::error_code ignored;
  for (const fs::path& path : {fs::path(device), fs::weakly_canonical(device, ignored)}) {
    const std::string name = path.filename().string();
    std::ifstream file(usbSerial / name / "latency_timer");
    int milliseconds = 0;
    if (!name.empty() && file >> milliseconds) return AdapterLatency{name, milliseconds};
  }
  return std::nullopt;
}

PortDiagnosis Refused(PortDiagnosis diagnosis, int error, const DiagnosisFolders& folders) {
  const std::string com = "COM" + std::to_string(diagnosis.number);
  if (error == ENOENT || error == ENODEV || error == ENXIO) {
    diagnosis.problem = PortProblem::Missing;
    diagnosis.reason = "the device does not exist.";
    diagnosis.advice = "Plug the adapter in, or correct " + com + " in the Ports key (a simulator's ports are there "
                       "only while it runs).";
  } else if (error == EACCES || error == EPERM) {
    diagnosis.problem = PortProblem::Permission;
    diagnosis.reason = "this user may not open it.";
    diagnosis.advice = PermissionAdvice(diagnosis.device);
  } else if (error == EBUSY) {
    diagnosis.problem = PortProblem::Held;
    const auto holders = FindPortHolders(diagnosis.device, folders.proc);
    if (holders.empty()) {
      diagnosis.reason = "another program has it open.";
      diagnosis.advice = "Close the program that uses it (sudo fuser -v " + diagnosis.device + " names it), then "
                         "scan again.";
    } else {
      diagnosis.reason = "another program has it open: " + HoldersText(holders) + ".";
      diagnosis.advice = CloseAdvice(holders, diagnosis.device);
    }
  } else {
    diagnosis.problem = PortProblem::OpenFailed;
    diagnosis.reason = "it does not open as a serial port: " + std::generic_category().message(error) + ".";
    diagnosis.advice = "Check that " + com + " names a serial port (the Ports key, or /dev/ttyS" +
                       std::to_string(diagnosis.number - 1) + ").";
  }
  return diagnosis;
}

PortDiagnosis Diagnose(const PortCandidate& port, const DiagnosisFolders& folders) {
  PortDiagnosis diagnosis;
  diagnosis.number = port.number;
  diagnosis.device = port.device;
  if (const int error = OpenRefusal(port.device)) return Refused(std::move(diagnosis), error, folders);
  // Open and unlocked, yet another program may be reading the motors'
  // answers away.
  if (const auto holders = FindPortHolders(port.device, folders.proc); !holders.empty()) {
    diagnosis.problem = PortProblem::Held;
    diagnosis.reason = "another program has it open too: " + HoldersText(holders) + ".";
    diagnosis.advice = "It takes the motors' answers. " + CloseAdvice(holders, port.device);
    return diagnosis;
  }
  for (const int rate : kRatesBeyondTheScan) {
    LONG count = 0;
    bool opened = false;
    if (!ProbeChain(port, count, opened, rate)) continue;  // the host goes, the port closes
    diagnosis.problem = PortProblem::OtherRate;
    diagnosis.rate = rate;
    diagnosis.reason = std::to_string(count) + (count == 1 ? " motor answers" : " motors answer") + " at " +
                       std::to_string(rate) + " baud; the scan talks at " + std::to_string(kScanRate) +
                       " and reaches 2400 to 38400.";
    diagnosis.advice = "Set the motors to " + std::to_string(kScanRate) + " baud, then scan again:\n  velkor send --port COM" +
                       std::to_string(port.number) + " --baud " + std::to_string(rate) +
                       " --address 0 --no-answer BAUD" + std::to_string(kScanRate);
    return diagnosis;
  }
  if (const auto latency = LatencyTimer(port.device, folders.usbSerial); latency && latency->milliseconds > 1) {
    const std::string& name = latency->name;
    diagnosis.problem = PortProblem::LatencyTimer;
    diagnosis.reason = "no motor answers, and the USB adapter " + name + " holds received bytes for " +
                       std::to_string(latency->milliseconds) + " ms (its latency timer), so echoes may come too late.";
    diagnosis.advice = "Set its latency timer to 1 ms (echo 1 | sudo tee " +
                       (folders.usbSerial / name / "latency_timer").string() + "), and for good with this line in " +
                       std::string(kLatencyTimerRuleFile) + ":\n  " + std::string(kLatencyTimerRule) +
                       "\nthen sudo udevadm control --reload and plug the adapter in again.";
    return diagnosis;
  }
  diagnosis.problem = PortProblem::NoAnswer;
  diagnosis.reason = "no motor answers, at " + std::to_string(kScanRate) + " baud or any other rate.";
  diagnosis.advice = "Check that the cable is in this port and reaches the first motor of the chain, and that the "
                     "motors have power.";
  return diagnosis;
}

}  // namespace

std::vector<PortDiagnosis> DiagnosePorts(const std::vector<PortCandidate>& ports, const DiagnosisFolders& folders) {
  std::vector<PortDiagnosis> diagnoses(ports.size());
  std::vector<std::jthread> threads;
  for (std::size_t i = 0; i < ports.size(); ++i) {
    const auto work = [&, i] { diagnoses[i] = Diagnose(ports[i], folders); };
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      work();  // no thread to be had: this port waits its turn
    }
  }
  threads.clear();  // joins
  return diagnoses;
}

std::vector<PortDiagnosis> DiagnoseScan(const MotorScan& scan, const DiagnosisFolders& folders) {
  std::vector<PortCandidate> silent;
  for (const PortCandidate& port : scan.ProbedPorts())
    if (!scan.Host(port.number)) silent.push_back(port);
  return DiagnosePorts(silent, folders);
}

std::string FormatDiagnosis(const std::vector<PortDiagnosis>& diagnoses) {
  std::string text;
  for (const PortDiagnosis& diagnosis : diagnoses) {
    text += "COM" + std::to_string(diagnosis.number) + " (" + diagnosis.device + "): " + diagnosis.reason + "\n";
    std::string_view advice = diagnosis.advice;
    while (!advice.empty()) {
      const std::size_t end = advice.find('\n');
      text += "  " + std::string(advice.substr(0, end)) + "\n";
      advice = end == std::string_view::npos ? std::string_view{} : advice.substr(end + 1);
    }
  }
  return text;
}

}  // namespace velkor::setup
