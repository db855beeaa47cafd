#include "tools/velkor/motors_command.h"

#include <cstdlib>
#include <string>

#include "setup/live/port_diagnosis.h"
#include "setup/live/scan.h"
#include "tools/velkor/session.h"

namespace velkor::client {
namespace {

// The window's message boxes as lines on stderr; its progress lines are
// left out, they would only scroll past.
class TerminalView : public setup::View {
 public:
  explicit TerminalView(std::FILE* err) : err_(err) {}
  void ShowMessage(const setup::Message& message) override {
    std::string text = message.text;
    for (char& c : text)
      if (c == '\r') c = '\n';
    std::fprintf(err_, "%s\n", text.c_str());
  }

 private:
  std::FILE* err_;
};

}  // namespace

int Motors(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  const bool why = arguments.size() == 1 && arguments.front() == "--why";
  if (!arguments.empty() && !why) {
    std::fprintf(err, "velkor: motors takes only --why; confine it with VELKOR_SCAN_PORTS=COM3,COM7\n");
    return kEngineFailure;
  }
  setup::ScanOptions options;
  if (const char* named = std::getenv("VELKOR_SCAN_PORTS"); named && *named) {
    options.ports = setup::ParsePortList(named);
    if (!options.ports) {
      std::fprintf(err, "velkor: VELKOR_SCAN_PORTS='%s': COM names from COM1 to COM256, separated by commas\n", named);
      return kEngineFailure;
    }
  }
  // The scan ignores every engine failure, one that leaves no engine at all too.
  {
    ComPtr<IVNXComm> host;
    const HRESULT status = CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host.OutVoid());
    if (FAILED(status)) {
      std::fprintf(err, "velkor: cannot create VNXEngine.VNXHost (status 0x%08X): is libvelkor.so beside velkor?\n",
                   static_cast<unsigned>(status));
      return kSystemFailure;
    }
  }
  setup::MotorScan scan;
  TerminalView view(err);
  scan.Run(options, view);
  if (scan.ProbedPorts().empty())
    std::fprintf(err, "velkor: no serial port to scan: no COM name in the Ports key, no UART, no USB adapter\n");
  for (const setup::FoundMotor& motor : scan.Motors())
    std::fprintf(out, "%s\t%s\t%s\t%s\t%s\t%s\t%s\n", motor.ListText().c_str(), motor.model.c_str(),
                 motor.serialNumber.c_str(), motor.firmware.c_str(), motor.encoderRes.c_str(), motor.lastFile.c_str(),
                 motor.lastDate.c_str());
  // The scan's own output stays as it is; the diagnosis follows it.
  if (why && !scan.ProbedPorts().empty()) {
    std::string report = setup::FormatDiagnosis(setup::DiagnoseScan(scan));
    if (report.empty()) report = std::string(setup::kEveryPortAnswered) + "\n";
    std::fputs(report.c_str(), out);
  }
  return scan.Motors().empty() ? kEngineFailure : kDone;
}

}  // namespace velkor::client
