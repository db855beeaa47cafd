// velkor scan and reorder: detection and address set-up of the motors on a
// port, with a progress bar driven by the engine's notifications; Ctrl-C
// cancels through the notification's reply.

#include <charconv>
#include <string>
#include <vector>

#include "tools/velkor/chain_commands.h"
#include "tools/velkor/progress.h"
#include "tools/velkor/session.h"
#include "velkor/window.h"

namespace velkor::client {

namespace {

int Usage(std::FILE* err, const std::string& problem) {
  std::fprintf(err, "velkor: %s (try 'velkor --help')\n", problem.c_str());
  return kEngineFailure;
}

bool ParseNumber(std::string_view text, LONG& value) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  long long wide = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), wide, base);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  if (wide < -2147483648LL || wide > 4294967295LL) return false;
  value = static_cast<LONG>(static_cast<std::uint32_t>(wide));
  return true;
}

enum class Method { RS232, RS485, SerialNumbers, Network, Usb };

constexpr LONG kHighestAddress = 119;
constexpr LONG kMotorsFound = 1;
constexpr LONG kOnlyUnaddressedMotors = 16;  // no motor at 1..--max, yet some motor answers
constexpr LONG kNoMotorFound = 64;

// Gives the motors of the chain addresses 1, 2, 3, ... in wiring order; the
// detection's result for it.
HRESULT AddressChain(IVNXComm& host, LONG& result) {
  LONG count = 0;
  const HRESULT called = host.AddressMotorChain(&count);
  result = count > 0 ? kMotorsFound : kNoMotorFound;
  return called;
}

// --max N means motors 1..N on every link. The network and USB detections
// (and adding an adapter) give the addresses below their maximum.
LONG AdapterMaximum(LONG maxAddress) { return maxAddress + 1; }

struct ScanOptions {
  Method method = Method::RS232;
  LONG maxAddress = 10;
  std::optional<LONG> flags;
  // Every wait is bounded: at most a minute for one character, -1 asking
  // for the computed time-out where there is one.
  struct Setting {
    std::string_view flag;
    HRESULT (IVNXComm::*put)(LONG);
    LONG lowest, highest;
    std::optional<LONG> value;
  };
  std::vector<Setting> settings{{"--timeout", &IVNXComm::put_Timeout, 1, 60000, {}},
                                {"--tx-max-retry", &IVNXComm::put_TxMaxRetry, 0, 100, {}},
                                {"--tx-timeout-mul", &IVNXComm::put_TxTimeoutMul, -1, 60000, {}},
                                {"--tx-timeout-const", &IVNXComm::put_TxTimeoutConst, -1, 60000, {}},
                                {"--echo-timeout-mul", &IVNXComm::put_EchoTimeoutMul, -1, 60000, {}},
                                {"--echo-timeout-const", &IVNXComm::put_EchoTimeoutConst, -1, 60000, {}}};
  std::vector<std::string> words;
  bool readdress = false;  // --readdress: new addresses in wiring order
  bool addressed = false;  // the chain had none and got them
};

constexpr std::string_view kOwnFlags[] = {"--rs232",          "--serial-numbers",   "--max",              "--readdress",
                                          "--flags",          "--timeout",          "--tx-max-retry",
                                          "--tx-timeout-mul", "--tx-timeout-const", "--echo-timeout-mul",
                                          "--echo-timeout-const"};

std::optional<std::string> ParseScanOptions(std::span<const std::string_view> arguments, PortOptions& port,
                                            ScanOptions& scan) {
  if (auto problem = ParsePortOptions(arguments, kOwnFlags, port)) return problem;
  int methods = port.rs485 ? 1 : 0;
  if (port.rs485) scan.method = Method::RS485;
  if (port.net) {
    scan.method = Method::Network;
    ++methods;
  }
  if (port.usb) {
    scan.method = Method::Usb;
    ++methods;
  }
  const auto& rest = port.rest;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    const std::string& word = rest[i];
    // Counts and times are signed decimal; flags may be hexadecimal and
    // fill all 32 bits.
    auto number = [&](LONG& value) -> std::optional<std::string> {
      if (i + 1 >= rest.size() || !ParseDecimal(rest[i + 1], value)) return word + " needs a number";
      ++i;
      return std::nullopt;
    };
    if (word == "--readdress") {
      scan.readdress = true;
    } else if (word == "--rs232") {
      scan.method = Method::RS232;
      ++methods;
    } else if (word == "--serial-numbers") {
      scan.method = Method::SerialNumbers;
      ++methods;
    } else if (word == "--max") {
      if (auto problem = number(scan.maxAddress)) return problem;
      if (scan.maxAddress < 1 || scan.maxAddress > kHighestAddress)
        return "--max is the highest motor address, from 1 to " + std::to_string(kHighestAddress);
    } else if (word == "--flags") {
      LONG flags = 0;
      if (i + 1 >= rest.size() || !ParseNumber(rest[++i], flags))
        return std::string("--flags needs a number (0x100000, ...)");
      scan.flags = flags;
    } else if (word.starts_with("--")) {
      bool known = false;
      for (auto& setting : scan.settings) {
        if (word != setting.flag) continue;
        LONG value = 0;
        if (auto problem = number(value)) return problem;
        if (value < setting.lowest || value > setting.highest)
          return word + " is a number from " + std::to_string(setting.lowest) + " to " +
                 std::to_string(setting.highest);
        setting.value = value;
        known = true;
      }
      if (!known) return "unknown option '" + word + "'";
    } else {
      scan.words.push_back(word);
    }
  }
  if (methods > 1) return std::string("choose one of --rs232, --rs485, --serial-numbers, --net, --usb");
  if (scan.readdress && (scan.method != Method::RS232 || scan.flags))
    return std::string("--readdress is for an RS232 chain, without --flags");
  return std::nullopt;
}

std::string Text(HRESULT status, const Bstr& text) { return SUCCEEDED(status) ? text.Utf8() : "?"; }

void PrintMotors(Session& session) {
  std::FILE* out = session.out();
  std::fprintf(out, "%-8s %-14s %-14s %-9s %s\n", "address", "serial", "model", "firmware", "resolution");
  for (LONG address = 1; address < 120; ++address) {
    ComPtr<IVNXMotor> motor;
    if (FAILED(session.Host().GetMotor(address, motor.Out()))) continue;
    Bstr serial, model, version;
    const std::string serialText = Text(motor->GetSerialNumber(serial.Out()), serial);
    const std::string modelText = Text(motor->GetModelStr(model.Out()), model);
    const std::string versionText = Text(motor->get_Version(version.Out()), version);
    LONG resolution = 0;
    const std::string resolutionText =
        SUCCEEDED(motor->GetEncoderResolution(&resolution)) ? std::to_string(resolution) : "?";
    std::fprintf(out, "%-8ld %-14s %-14s %-9s %s\n", static_cast<long>(address), serialText.c_str(),
                 modelText.c_str(), versionText.c_str(), resolutionText.c_str());
  }
}

// Connects, applies the time-outs and runs the chosen scan with the bar.
// The scan's result, or nullopt after reporting a failure in `status`.
std::optional<LONG> RunScan(Session& session, const PortOptions& port, ScanOptions& scan, int& status) {
  if ((status = session.Connect(port, false)) != kDone) return std::nullopt;
  IVNXComm& host = session.Host();
  for (const auto& setting : scan.settings) {
    if (!setting.value) continue;
    HRESULT result = (host.*setting.put)(*setting.value);
    if (FAILED(result)) {
      status = session.Failed(std::string(setting.flag), result);
      return std::nullopt;
    }
  }
  ProgressBar bar(session.err(), {{5, scan.method == Method::Network ? "connecting" : "addressing the chain"},
                                  {6, scan.method == Method::Network ? "asking the network" : "scanning"},
                                  {7, "separating clashes"}});
  NotificationWindow window = WindowFor(bar);
  host.InitializeNotification(window.Handle(), kProgressMessage);
  InterruptAsCancel cancelOnCtrlC;
  LONG result = 0;
  HRESULT called = E_FAIL;
  switch (scan.method) {
    case Method::RS232:
      called = scan.readdress ? AddressChain(host, result)
                              : host.DetectRS232(scan.maxAddress, scan.flags.value_or(0), &result);
      // Only a chain that answers to no address gets addresses unasked: a
      // chain with addresses keeps them, even beyond --max.
      if (SUCCEEDED(called) && !scan.flags && !scan.readdress && result == kOnlyUnaddressedMotors) {
        scan.addressed = true;
        called = AddressChain(host, result);
      }
      break;
    case Method::RS485:
      called = host.DetectRS485(scan.maxAddress, port.channel, scan.flags.value_or(0), &result);
      break;
    case Method::SerialNumbers:
      called = host.AddressServos(scan.flags.value_or(0), &result);
      break;
    case Method::Network:
      // Raised, a network failure says what failed; the result says only that.
      called = host.DetectNetMotors(AdapterMaximum(scan.maxAddress), scan.flags.value_or(0) | kRaiseErrors, &result);
      break;
    case Method::Usb:
      called = host.DetectUSBMotors(AdapterMaximum(scan.maxAddress), scan.flags.value_or(0), &result);
      break;
  }
  host.InitializeNotification(0, 0);
  bar.Finish(SUCCEEDED(called) && !InterruptAsCancel::Interrupted());
  if (FAILED(called)) {
    const EngineFailure failure = TakeEngineFailure(called);
    constexpr DWORD kNoLink = 4;  // what the raised network detection says for no motor
    if (scan.method == Method::Network && failure.code == kNoLink && !(scan.flags.value_or(0) & kRaiseErrors)) {
      status = kDone;
      return kNoMotorFound;
    }
    status = session.Failed("scan", failure);
    return std::nullopt;
  }
  status = kDone;
  return result;
}

}  // namespace

int Scan(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  PortOptions port;
  ScanOptions scan;
  if (auto problem = ParseScanOptions(arguments, port, scan)) return Usage(err, *problem);
  if (!scan.words.empty()) return Usage(err, "scan takes no words, only options");
  Session session(out, err);
  int status = kDone;
  auto result = RunScan(session, port, scan, status);
  if (!result) return status;
  std::fprintf(out, "result %ld: %s\n", static_cast<long>(*result), DetectionResultInWords(*result).c_str());
  if (scan.addressed || scan.readdress)
    std::fprintf(out, "%s: its motors now have 1, 2, 3, ... in wiring order\n",
                 scan.readdress ? "addressed anew" : "the chain had no addresses");
  if (*result & (2 | 4))
    std::fprintf(out, "motors above --max %ld keep their addresses: a larger --max finds them\n",
                 static_cast<long>(scan.maxAddress));
  PrintMotors(session);
  return (*result & (1 | 2 | 4)) ? kDone : kEngineFailure;
}

int AddNet(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  PortOptions port;
  port.net = true;
  ScanOptions scan;
  if (auto problem = ParseScanOptions(arguments, port, scan)) return Usage(err, *problem);
  if (scan.words.size() != 1) return Usage(err, "add-net takes the adapter's ADDRESS");
  Session session(out, err);
  if (int status = session.Connect(port, false)) return status;
  HRESULT called = session.Host().InitEthernet(AdapterMaximum(scan.maxAddress));
  if (FAILED(called)) return session.Failed("--max", called);
  Bstr host(scan.words[0]);
  LONG address = 0;
  called = session.Host().AddNetMotor(host.get(), &address);
  if (FAILED(called)) return session.Failed("add-net", called);
  if (address == 0) {
    std::fprintf(err, "velkor: no motor added: %s does not answer, or there is no free address up to --max\n",
                 scan.words[0].c_str());
    return kEngineFailure;
  }
  std::fprintf(out, "%s is motor %ld\n", scan.words[0].c_str(), static_cast<long>(address));
  PrintMotors(session);
  return kDone;
}

int Reorder(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  PortOptions port;
  ScanOptions scan;
  if (auto problem = ParseScanOptions(arguments, port, scan)) return Usage(err, *problem);
  LONG address = 0;
  if (scan.words.size() != 2 || !ParseDecimal(scan.words[0], address) || address < 1 || address > 119)
    return Usage(err, "reorder takes the new ADDRESS (1 to 119) and the motor's SERIAL number");
  Session session(out, err);
  int status = kDone;
  // A new host knows no motor: find them first.
  auto result = RunScan(session, port, scan, status);
  if (!result) return status;
  if (!(*result & (1 | 2 | 4))) {
    std::fprintf(err, "velkor: no motors to reorder: %s\n", DetectionResultInWords(*result).c_str());
    return kEngineFailure;
  }
  Bstr serial(scan.words[1]);
  LONG old = 0;
  HRESULT called = session.Host().ReorderMotors(address, serial.get(), &old);
  if (FAILED(called)) return session.Failed("reorder", called);
  const std::string& name = scan.words[1];
  if (old == -1) {
    std::fprintf(err, "velkor: no motor has serial number %s\n", name.c_str());
    return kEngineFailure;
  }
  if (old == address) {
    std::fprintf(out, "%s is at address %ld already\n", name.c_str(), static_cast<long>(address));
  } else if (old == 0) {
    std::fprintf(out, "%s moved to address %ld\n", name.c_str(), static_cast<long>(address));
  } else {
    std::fprintf(out, "%s moved to address %ld; the motor there moved to %ld\n", name.c_str(),
                 static_cast<long>(address), static_cast<long>(old));
  }
  PrintMotors(session);
  return kDone;
}

}  // namespace velkor::client
