#pragma once
// Why a port gave no motor, and what to do about it: after a scan, each port
// on which no motor answered is looked at again. The scan itself stays as it
// is; this is an extra look that the user asks for.
//
// It opens ports, reads /proc and sysfs and probes again through the engine,
// so it runs on the caller's thread for several seconds (ports in parallel,
// the rates of one port one after another).

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "setup/live/port_candidates.h"
#include "setup/live/scan.h"

namespace velkor::setup {

enum class PortProblem {
  Missing,       // the device does not exist
  Permission,    // this user may not open it
  Held,          // another program has it open
  OpenFailed,    // it does not open for another reason (not a serial port, ...)
  OtherRate,     // motors answer, at a rate the scan does not reach
  LatencyTimer,  // a USB adapter that holds received bytes for longer than 1 ms
  NoAnswer,      // nothing answers at any rate
};

struct PortDiagnosis {
  int number = 0;      // n of COMn
  std::string device;  // the device COMn opens
  PortProblem problem = PortProblem::NoAnswer;
  std::string reason;  // one line
  std::string advice;  // what to do; lines separated by '\n'
  int rate = 0;        // OtherRate: the rate the motors answered at
  bool operator==(const PortDiagnosis&) const = default;
};

// The udev rule that sets FTDI adapters' latency timer to 1 ms; the README
// quotes the same line.
inline constexpr std::string_view kLatencyTimerRule =
    R"(ACTION=="add", SUBSYSTEM=="usb-serial", DRIVER=="ftdi_sio", ATTR{latency_timer}="1")";
inline constexpr std::string_view kLatencyTimerRuleFile = "/etc/udev/rules.d/99-velkor-latency.rules";

// Where the machine tells who holds a device and how its USB adapters are
// set; tests give folders of their own.
struct DiagnosisFolders {
  std::filesystem::path proc = "/proc";
  std::filesystem::path usbSerial = "/sys/bus/usb-serial/devices";
};

// The rate the scan talks at: its rate synchronisation brings motors at
// 2400 to 38400 there, so only the faster rates the motors know are tried.
inline constexpr int kScanRate = 9600;
inline constexpr int kRatesBeyondTheScan[] = {57600, 115200};

// One diagnosis per port, in the order given, for ports on which a scan
// found no motor: the scan's own rate is not tried again.
std::vector<PortDiagnosis> DiagnosePorts(const std::vector<PortCandidate>& ports, const DiagnosisFolders& folders = {});

// The ports the last scan probed on which no motor answered (those that
// refused this user among them), in COM order; none when every port had
// motors. Call it on the thread that ran the scan, which must not run
// another scan meanwhile.
std::vector<PortDiagnosis> DiagnoseScan(const MotorScan& scan, const DiagnosisFolders& folders = {});

// The report as text, a port to a paragraph:
//   COM3 (/dev/ttyUSB0): another program has it open: minicom (PID 4711).
//     Close that program, then scan again.
// Empty for no diagnosis.
std::string FormatDiagnosis(const std::vector<PortDiagnosis>& diagnoses);
// What there is to say when no port needs a diagnosis.
inline constexpr std::string_view kEveryPortAnswered = "Motors answered on every port probed.";

}  // namespace velkor::setup
