#include "setup/live/scan_port.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "setup/transfer/engine_channel.h"
#include "setup/transfer/text_record.h"

namespace velkor::setup {
namespace {

constexpr int kLastFileRecord = 25000;
constexpr int kLastDateRecord = 26000;

// Firmware from "45" on knows the commands that the newer screens use.
int NewFirmware(const std::string& firmware) {
  const std::string_view lead = std::string_view(firmware).substr(0, 2);
  int number = 0;
  std::from_chars(lead.data(), lead.data() + lead.size(), number);
  return number > 44 ? 1 : 0;
}

template <class Interface>
std::string Text(Interface& object, HRESULT (Interface::*get)(BSTR*)) {
  Bstr text;
  return SUCCEEDED((object.*get)(text.Out())) ? text.Utf8() : std::string();
}

}  // namespace

ComPtr<IVNXComm> ProbeChain(const PortCandidate& port, LONG& count, bool& opened, std::optional<LONG> rate) {
  count = 0;
  opened = false;
  ComPtr<IVNXComm> host;
  if (FAILED(CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host.OutVoid())) || !host) return {};
  // The port is closed, so this sets the rate it opens at and the chain's.
  if (rate && FAILED(host->put_BaudRate(*rate))) return {};
  if (FAILED(host->OpenPort(Bstr("COM" + std::to_string(port.number)).get()))) return {};
  opened = true;
  host->put_TxMaxRetry(105);
  host->put_TxTimeoutMul(150);
  host->put_TxTimeoutConst(550);
  host->put_Timeout(1000);
  if (FAILED(host->AddressMotorChain(&count)) || count < 1) {
    count = 0;
    return {};
  }
  return host;
}

namespace {

// A motor that stops answering leaves the rest of its entry empty.
FoundMotor Identify(const ComPtr<IVNXComm>& host, int port, LONG address, Clock& clock) {
  FoundMotor found;
  found.port = port;
  found.address = static_cast<int>(address);
  ComPtr<IVNXMotor> motor;
  if (FAILED(host->GetMotor(address, motor.Out())) || !motor) return found;
  found.serialNumber = Text(*motor.get(), &IVNXMotor::GetSerialNumber);
  LONG resolution = 0;
  if (SUCCEEDED(motor->GetEncoderResolution(&resolution)))
    found.encoderRes = resolution < 100 ? "0" : std::to_string(resolution);
  found.firmware = Text(*motor.get(), &IVNXMotor::get_Version);
  found.model = Text(*motor.get(), &IVNXMotor::GetModelStr);
  found.newFirmware = NewFirmware(found.firmware);
  if (found.newFirmware == 1) motor->WriteCommand(Bstr("UCI UDI ZS ").get());
  EngineChannel channel(host, motor, address);
  found.lastFile = LoadText(kLastFileRecord, channel, clock).value_or("");
  found.lastDate = LoadText(kLastDateRecord, channel, clock).value_or("");
  return found;
}

}  // namespace

PortScan ScanPort(const PortCandidate& port, Clock& clock, const std::function<void(const std::string&)>& notice) {
  const std::string number = std::to_string(port.number);
  notice("Scanning Com Port " + number);
  PortScan scan;
  LONG count = 0;
  bool opened = false;
  scan.host = ProbeChain(port, count, opened);
  if (!opened) scan.denied = ::access(port.device.c_str(), R_OK | W_OK) != 0 && errno == EACCES;
  if (!scan.host) return scan;
  notice("Scanning Com Port " + number + " For Motors");
  for (LONG address = 1; address <= count; ++address) {
    notice("Obtaining Motor " + std::to_string(address) + " Information on Com" + number);
    scan.motors.push_back(Identify(scan.host, port.number, address, clock));
  }
  return scan;
}

}  // namespace velkor::setup
