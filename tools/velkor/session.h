#pragma once
// What the motor commands share: their options, a host object with the port
// open, and the reporting of engine failures.

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "setup/transfer/engine_channel.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

namespace velkor::client {

struct PortOptions {
  std::string port;
  bool net = false;  // motors behind network adapters instead of a port
  bool usb = false;  // motors behind USB adapters instead of a port
  LONG address = 1;
  std::optional<LONG> baud;
  std::optional<enum_parity> parity;
  bool rs485 = false;
  LONG channel = 0;
  std::vector<std::string> rest;  // the command's own words and flags
};

// Exit status: 0 done, 1 the engine cannot be loaded, 2 the engine failed
// (a port that does not open included) or the usage was wrong.
inline constexpr int kDone = 0;
inline constexpr int kSystemFailure = 1;
inline constexpr int kEngineFailure = 2;

// Detection flag: a failure is raised as an engine error instead of a result.
inline constexpr LONG kRaiseErrors = 0x100000;

// A whole decimal number, nothing before or after it.
bool ParseDecimal(std::string_view text, LONG& value);

// Parses --port, --net or --usb, --address, --baud, --parity, --rs485, --channel; other words
// (and any flag in `ownFlags`) are left in `rest`. An error text on failure.
std::optional<std::string> ParsePortOptions(std::span<const std::string_view> arguments,
                                            std::span<const std::string_view> ownFlags, PortOptions& options);

// The engine's description and code of the thread's last failure.
using setup::EngineFailure;
using setup::TakeEngineFailure;

// A detection's result code (its bits) in words.
std::string DetectionResultInWords(LONG result);

class Session {
 public:
  Session(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

  // The host with the port open and the line set up: kDone, or the exit
  // status after telling why not. With `findMotors` an RS485 bus is
  // declared, and on the network (or USB) the host, put on an Ethernet (or
  // USB) link, finds the adapters (whose connections stand for the open
  // port); a scan leaves that to its own detection.
  int Connect(const PortOptions& options, bool findMotors = true);
  // The motor at the options' address, entering it in the host's table
  // first when the host does not know it yet.
  bool Motor(const PortOptions& options, ComPtr<IVNXMotor>& motor);

  IVNXComm& Host() { return *host_.get(); }
  ComPtr<IVNXComm> HostObject() const { return host_; }
  // What a user can do about an engine error of that code, in this verb.
  struct Hint {
    DWORD code;
    const char* text;
  };
  // Prints "velkor: <what>: <engine message> (engine error N)", and the hint
  // for that code if one is given, and returns the exit status for it.
  int Failed(std::string_view what, HRESULT status, std::span<const Hint> hints = {});
  int Failed(std::string_view what, const EngineFailure& failure, std::span<const Hint> hints = {});
  std::FILE* out() const { return out_; }
  std::FILE* err() const { return err_; }

 private:
  void ExplainPort(const std::string& port);
  int ConnectNetwork(const PortOptions& options, bool findNetMotors);
  int ConnectUsb(const PortOptions& options, bool findUsbMotors);

  std::FILE* out_;
  std::FILE* err_;
  ComPtr<IVNXComm> host_;
};

}  // namespace velkor::client
