#include "tools/velkor/session.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

#include "platform/serial/serial_port.h"

namespace velkor::client {

bool ParseDecimal(std::string_view text, LONG& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

namespace {

std::optional<enum_parity> ParseParity(std::string_view text) {
  constexpr std::string_view names[] = {"none", "odd", "even", "mark", "space"};
  for (int i = 0; i < 5; ++i)
    if (text == names[i]) return static_cast<enum_parity>(i);
  return std::nullopt;
}

constexpr LONG kNetMaxAddress = 10;

}  // namespace

std::string DetectionResultInWords(LONG result) {
  struct Meaning {
    LONG bit;
    const char* words;
  };
  static constexpr Meaning kMeanings[] = {
      {1, "motors found, and no other motor answers"},
      {2, "motors found, but some motor still answers after they and the addresses above --max were put to sleep"},
      {4, "motors found, and some motor answers above --max"},
      {8, "a motor gave an unusable answer (or a line or echo error) during the scan"},
      {16, "no motor found at 1..--max, yet some motor answers"},
      {32, "an unexpected engine error during the scan"},
      {64, "no motor found"},
      {128, "network failure"},
      {256, "not a USB link"},
      {0x10000, "the serial port is not open"},
      {0x40000, "cancelled"},
  };
  std::string text;
  for (const Meaning& meaning : kMeanings) {
    if ((result & meaning.bit) == 0) continue;
    if (!text.empty()) text += "; ";
    text += meaning.words;
  }
  return text.empty() ? "unknown result" : text;
}

std::optional<std::string> ParsePortOptions(std::span<const std::string_view> arguments,
                                            std::span<const std::string_view> ownFlags, PortOptions& options) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view word = arguments[i];
    auto value = [&]() -> std::optional<std::string_view> {
      if (i + 1 >= arguments.size()) return std::nullopt;
      return arguments[++i];
    };
    if (word == "--port") {
      auto port = value();
      if (!port) return "--port needs a port name (COM1, /dev/ttyUSB0, ...)";
      options.port = std::string(*port);
    } else if (word == "--address" || word == "--baud" || word == "--channel") {
      auto text = value();
      if (!text) return std::string(word) + " needs a number";
      // Digits too many for 32 bits are out of every range below.
      LONG number = -1;
      if (!ParseDecimal(*text, number) && text->find_first_not_of("+-0123456789") != std::string_view::npos)
        return std::string(word) + " needs a whole number, not '" + std::string(*text) + "'";
      if (word == "--address") {
        // 0 is every motor; beyond 119 an address byte would mean another motor.
        if (number < 0 || number > 119) return "--address is 0 (every motor) or a motor from 1 to 119";
        options.address = number;
      } else if (word == "--baud") {
        // The rates the motors' BAUD command knows; no other one could ever
        // reach them.
        constexpr LONG kRates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
        if (std::find(std::begin(kRates), std::end(kRates), number) == std::end(kRates))
          return "--baud " + std::string(*text) + ": the motors do not support that rate (2400, 4800, 9600, 19200, "
                 "38400, 57600 or 115200)";
        options.baud = number;
      } else {
        if (number != 0 && number != 1) return std::string("--channel is 0 or 1");
        options.channel = number;
      }
    } else if (word == "--parity") {
      auto text = value();
      options.parity = text ? ParseParity(*text) : std::nullopt;
      if (!options.parity) return "--parity is one of none, odd, even, mark, space";
    } else if (word == "--net") {
      options.net = true;
    } else if (word == "--usb") {
      options.usb = true;
    } else if (word == "--rs485") {
      options.rs485 = true;
    } else if (word.starts_with("--") && std::find(ownFlags.begin(), ownFlags.end(), word) == ownFlags.end()) {
      return "unknown option '" + std::string(word) + "'";
    } else {
      options.rest.emplace_back(word);
    }
  }
  if (int(!options.port.empty()) + int(options.net) + int(options.usb) > 1)
    return "choose one of --port, --net and --usb";
  if (options.port.empty() && !options.net && !options.usb)
    return "--port is needed (COM1, /dev/ttyUSB0, ...), or --net or --usb";
  return std::nullopt;
}

int Session::Failed(std::string_view what, HRESULT status, std::span<const Hint> hints) {
  return Failed(what, TakeEngineFailure(status), hints);
}

int Session::Failed(std::string_view what, const EngineFailure& failure, std::span<const Hint> hints) {
  std::fprintf(err_, "velkor: %.*s: %s\n", static_cast<int>(what.size()), what.data(), failure.text.c_str());
  for (const Hint& hint : hints) {
    if (failure.code == hint.code) std::fprintf(err_, "        %s\n", hint.text);
  }
  return kEngineFailure;
}

// The first wall on Linux is the device itself: name the path the port
// stands for and say what keeps it closed.
void Session::ExplainPort(const std::string& port) {
  auto resolved = serial::ResolvePortName(port);
  if (!resolved.ok()) {
    std::fprintf(err_, "velkor: '%s' names no serial port: use COMn (see the Ports key) or a device path\n",
                 port.c_str());
    return;
  }
  const std::string& device = resolved.value;
  // A name that is the path already is not repeated.
  const std::string named = device == port ? device : port + " stands for " + device + ", which";
  const std::string it = device == port ? device : port + " stands for " + device;
  if (::access(device.c_str(), F_OK) != 0) {
    std::fprintf(err_, "velkor: %s does not exist (is the adapter plugged in?)\n", named.c_str());
  } else if (::access(device.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
    std::fprintf(err_,
                 "velkor: %s you may not open: join the group that owns it\n"
                 "        (usually: sudo usermod -aG dialout $USER, then log in again) or give it to you\n"
                 "        with a udev rule (see the README)\n",
                 named.c_str());
  } else if (auto opened = serial::SerialPort::Open(device); !opened.ok()) {
    // Tried once more here, to name the cause.
    const int error = opened.error;
    if (error == EBUSY) {
      std::fprintf(err_, "velkor: %s is in use by another program\n", it.c_str());
    } else if (error == ENOTTY || error == EISDIR || error == EINVAL) {
      std::fprintf(err_, "velkor: %s is not a serial port\n", it.c_str());
    } else {
      std::fprintf(err_, "velkor: %s cannot be opened: %s\n", it.c_str(), std::strerror(error));
    }
  } else {
    std::fprintf(err_, "velkor: %s opens, but refuses the line settings (rate, parity)\n", it.c_str());
  }
}

int Session::ConnectNetwork(const PortOptions& options, bool findNetMotors) {
  // Room for the motor asked for: the network gives addresses below the maximum.
  const LONG maxAddress = std::max<LONG>(kNetMaxAddress, options.address + 1);
  HRESULT status = host_->InitEthernet(maxAddress);
  if (FAILED(status)) return Failed("--net", status);
  if (!findNetMotors) return kDone;
  LONG result = 0;
  if (FAILED(status = host_->DetectNetMotors(maxAddress, kRaiseErrors, &result)))
    return Failed("finding the motors on the network", status);
  return kDone;
}

int Session::ConnectUsb(const PortOptions& options, bool findUsbMotors) {
  // As on the network, the adapters take addresses below the maximum.
  const LONG maxAddress = std::max<LONG>(kNetMaxAddress, options.address + 1);
  HRESULT status = host_->InitUSB(maxAddress);
  if (FAILED(status)) return Failed("--usb", status);
  if (!findUsbMotors) return kDone;
  LONG result = 0;
  if (FAILED(status = host_->DetectUSBMotors(maxAddress, kRaiseErrors, &result)))
    return Failed("finding the motors behind USB adapters", status);
  return kDone;
}

// The engine says nothing when its log cannot be written; a user who asked
// for a log is told here, once.
void WarnAboutTheLog(IVNXComm& host, std::FILE* err) {
  LONG flags = 0;
  Bstr name;
  if (FAILED(host.get_LogFlags(&flags)) || (flags & 0xFFFF) == 0 || FAILED(host.get_LogFileName(name.Out()))) return;
  const std::string file = name.Utf8();
  if (file.empty()) return;
  const std::string folder = std::filesystem::path(file).parent_path().string();
  const bool writable = ::access(file.c_str(), F_OK) == 0 ? ::access(file.c_str(), W_OK) == 0
                                                           : ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0;
  if (!writable)
    std::fprintf(err, "velkor: warning: the engine log %s cannot be written (%s); nothing is logged\n", file.c_str(),
                 std::strerror(errno));
}

int Session::Connect(const PortOptions& options, bool findMotors) {
  HRESULT status = CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host_.OutVoid());
  if (FAILED(status)) {
    std::fprintf(err_, "velkor: cannot create VNXEngine.VNXHost (status 0x%08X): is libvelkor.so beside velkor?\n",
                 static_cast<unsigned>(status));
    return kSystemFailure;
  }
  WarnAboutTheLog(*host_.get(), err_);
  if (options.baud && FAILED(status = host_->put_BaudRate(*options.baud))) {
    Failed("--baud", status);
    return kEngineFailure;
  }
  if (options.parity && FAILED(status = host_->put_Parity(*options.parity))) {
    Failed("--parity", status);
    return kEngineFailure;
  }
  if (options.net) return ConnectNetwork(options, findMotors);
  if (options.usb) return ConnectUsb(options, findMotors);
  Bstr port(options.port);
  if (FAILED(status = host_->OpenPort(port.get()))) {
    Failed("cannot open " + options.port, status);
    ExplainPort(options.port);
    return kEngineFailure;
  }
  // The motors of a bus answer only once told to keep their echo off, so
  // every verb declares the bus before its first command.
  if (options.rs485 && findMotors &&
      FAILED(status = host_->InitRS485(std::max<LONG>(options.address, 1), options.channel)))
    return Failed("declaring the RS485 bus", status);
  return kDone;
}

bool Session::Motor(const PortOptions& options, ComPtr<IVNXMotor>& motor) {
  HRESULT status = host_->GetMotor(options.address, motor.Out());
  if (SUCCEEDED(status)) return true;
  // The host knows only motors it has found or been told of.
  if (options.net || options.usb) {
    // Connect has asked the network or the USB devices already.
    Failed("no motor at address " + std::to_string(options.address) + (options.net ? " on the network" : " on USB"),
           status);
    return false;
  }
  // Connect declared the motors of a bus already; a chain is searched.
  LONG result = 0;
  if (!options.rs485) {
    status = host_->DetectRS232(options.address, 0, &result);
    if (FAILED(status)) {
      Failed("finding the motors of the RS232 chain", status);
      return false;
    }
  }
  status = host_->GetMotor(options.address, motor.Out());
  if (FAILED(status)) {
    if (options.rs485) {
      Failed("no motor at address " + std::to_string(options.address), status);
      return false;
    }
    // What the search found says more than the refusal of the address.
    TakeEngineFailure(status);
    std::fprintf(err_, "velkor: no motor at address %ld: %s\n", static_cast<long>(options.address),
                 DetectionResultInWords(result).c_str());
    if (result & 16) std::fprintf(err_, "        a chain without addresses gets them with 'velkor scan --port P'\n");
    return false;
  }
  return true;
}

}  // namespace velkor::client
