#include "setup/live/scan.h"

#include <mutex>
#include <system_error>
#include <thread>

#include "setup/live/scan_port.h"

namespace velkor::setup {
namespace {

constexpr std::string_view kNoticesTitle = " Searching for Motors ";
constexpr std::string_view kMessageTitle = "Serial Port Scan Message";

Message NoMotorsMessage() {
  return {std::string(kMessageTitle),
          "No Motors were found on Any Serial Port.\rCheck Cable Connections and/or Motor Power\rand  Try Again. ",
          Icon::Exclamation};
}

// Said once for all such ports, with what would let the user in.
Message DeniedMessage(const std::vector<PortCandidate>& denied) {
  std::string text;
  for (const PortCandidate& port : denied)
    text += "Com" + std::to_string(port.number) + " (" + port.device + ") may not be opened by this user.\r";
  return {std::string(kMessageTitle), text + PermissionAdvice(denied.front().device), Icon::Exclamation};
}

}  // namespace

std::string FoundMotor::ListText() const {
  return "Com" + std::to_string(port) + " Motor " + std::to_string(address);
}

void MotorScan::Clear() {
  hosts_.clear();
  motors_.clear();
  probed_.clear();
  denied_.clear();
}

void MotorScan::Run(const ScanOptions& options, View& view) {
  Clear();
  view.SetBusy(true);
  view.ShowNotices(kNoticesTitle, "Scanning for Com Ports");
  probed_ = options.ports ? CandidatesFor(*options.ports) : FindPortCandidates();

  SleepingClock sleeping;
  Clock& clock = options.clock ? *options.clock : sleeping;
  std::mutex noticesGuard;
  const auto notice = [&](const std::string& line) {
    const std::lock_guard lock(noticesGuard);
    view.ShowNotices(kNoticesTitle, line);
  };
  std::vector<PortScan> scans(probed_.size());
  {
    std::vector<std::jthread> threads;
    for (std::size_t i = 0; i < probed_.size(); ++i) {
      const auto work = [&, i] { scans[i] = ScanPort(probed_[i], clock, notice); };
      try {
        threads.emplace_back(work);
      } catch (const std::system_error&) {
        work();  // no thread to be had: this port waits its turn
      }
    }
  }

  for (std::size_t i = 0; i < probed_.size(); ++i) {
    if (scans[i].denied) denied_.push_back(probed_[i]);
    if (!scans[i].host) continue;
    hosts_[probed_[i].number] = std::move(scans[i].host);
    motors_.insert(motors_.end(), scans[i].motors.begin(), scans[i].motors.end());
  }
  view.HideNotices();
  if (!denied_.empty()) view.ShowMessage(DeniedMessage(denied_));
  if (motors_.empty()) view.ShowMessage(NoMotorsMessage());
  state_ = motors_.empty() ? kScanFoundNone : kScanFoundMotors;
  view.SetBusy(false);
}

ComPtr<IVNXComm> MotorScan::Host(int port) const {
  const auto found = hosts_.find(port);
  return found == hosts_.end() ? ComPtr<IVNXComm>() : found->second;
}

std::optional<MotorInformation> InformationOf(const MotorScan& scan, int listIndex, bool takeResolution) {
  const auto& motors = scan.Motors();
  if (scan.State() != kScanFoundMotors || listIndex < 0 || static_cast<std::size_t>(listIndex) >= motors.size())
    return std::nullopt;
  const FoundMotor& motor = motors[static_cast<std::size_t>(listIndex)];
  MotorInformation information{{motor.model, motor.serialNumber, motor.firmware, motor.encoderRes,
                                std::to_string(motor.address), std::to_string(motor.newFirmware), motor.lastFile,
                                motor.lastDate},
                               std::nullopt};
  if (takeResolution) information.encoderRes = motor.encoderRes;
  return information;
}

}  // namespace velkor::setup
