#pragma once
// Finding the motors: every serial port is probed for a chain of motors, a
// port keeps its engine host object only when motors answered, and each
// motor found is listed with its identity and the last file downloaded to
// it. The ports are probed at the same time, so a scan costs about what its
// slowest port costs.

#include <array>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "setup/live/port_candidates.h"
#include "setup/model/view.h"
#include "setup/transfer/motor_channel.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

namespace velkor::setup {

struct FoundMotor {
  std::string model;
  std::string serialNumber;
  std::string firmware;
  std::string encoderRes;  // "0" when the motor reports less than 100
  int port = 0;
  int address = 0;
  int newFirmware = 0;  // 1 from firmware 45 on
  std::string lastFile;
  std::string lastDate;
  // "Com3 Motor 1": the motor's entry in the list of motors found.
  std::string ListText() const;
  bool operator==(const FoundMotor&) const = default;
};

// ScanState after a scan.
inline constexpr int kScanFoundMotors = 123;
inline constexpr int kScanFoundNone = -1;

struct ScanOptions {
  // The COM numbers to probe; nothing: every port of this machine
  // (FindPortCandidates).
  std::optional<std::vector<int>> ports;
  // The pauses while the text records are read, taken from every port's
  // thread at once; null: real pauses.
  Clock* clock = nullptr;
};

class MotorScan {
 public:
  // Releases the previous scan's host objects first (their ports close, so
  // that they can be probed again), then probes, one thread per port, with
  // every engine failure ignored. The view gets the progress in the notices
  // window, the busy pointer, and a message when a port refused this user
  // or when no motor was found.
  void Run(const ScanOptions& options, View& view);
  // The host objects released, the list emptied (the window closes).
  void Clear();

  // ScanState: nothing before the first scan, then kScanFoundMotors or
  // kScanFoundNone.
  std::optional<int> State() const { return state_; }
  // In port order, then address order. A download records its LastFile and
  // LastDate in the selected entry.
  const std::vector<FoundMotor>& Motors() const { return motors_; }
  std::vector<FoundMotor>& Motors() { return motors_; }
  // The host object of COM`port`, its port open and its chain addressed;
  // null when no motor answered there.
  ComPtr<IVNXComm> Host(int port) const;
  const std::vector<PortCandidate>& ProbedPorts() const { return probed_; }
  // The ports this user may not open.
  const std::vector<PortCandidate>& DeniedPorts() const { return denied_; }

 private:
  std::optional<int> state_;
  std::map<int, ComPtr<IVNXComm>> hosts_;
  std::vector<FoundMotor> motors_;
  std::vector<PortCandidate> probed_;
  std::vector<PortCandidate> denied_;
};

// What selecting the motor at `listIndex` shows: the MInfo texts (model,
// serial number, firmware, resolution, address, newer-firmware flag, last
// file, its date) and, when the detected resolution is to be taken (DetR),
// the text for ERes. Nothing unless the last scan found motors and the index
// is one of them.
struct MotorInformation {
  std::array<std::string, 8> texts;
  std::optional<std::string> encoderRes;
};
std::optional<MotorInformation> InformationOf(const MotorScan& scan, int listIndex, bool takeResolution);

}  // namespace velkor::setup
