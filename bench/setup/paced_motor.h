#pragma once
// A motor on a paced line, as on the bench, and what such a line allows: the
// setup benchmarks measure against it.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "setup/transfer/engine_channel.h"
#include "sim/frontend/simulator.h"
#include "velkor/automation.h"

namespace velkor::bench {

// One motor on an RS232 chain at `baud`, where the motor's echo paces the
// host, and a host object of the engine's with the chain addressed; empty
// when either could not be had.
struct PacedMotor {
  std::unique_ptr<sim::Simulator> simulator;
  ComPtr<IVNXComm> host;
  explicit operator bool() const { return simulator && host; }
};

inline PacedMotor StartPacedMotor(int baud) {
  PacedMotor motor;
  std::string error;
  auto simulator = sim::Simulator::Start(
      sim::ParseScenario("port chain pace\nmotor baud=" + std::to_string(baud) + "\n").scenario, nullptr, error);
  LONG motors = 0;
  if (!simulator || FAILED(CreateObject("VNXEngine.VNXHost", IID_IVNXComm, motor.host.OutVoid())) ||
      FAILED(motor.host->put_BaudRate(baud)) || FAILED(motor.host->OpenPort(Bstr(simulator->DevicePath(0)).get())) ||
      FAILED(motor.host->AddressMotorChain(&motors)) || motors != 1)
    return {};
  motor.simulator = std::move(simulator);
  return motor;
}

// The least line time of the bytes the host sent (as the line recorded
// them) and of the answers: a command goes out in pieces of 8 whose echo
// ends one character after the piece; an answer takes its characters.
inline double LineSeconds(const std::string& sent, std::size_t answered, int baud) {
  double characters = static_cast<double>(answered);
  std::size_t line = 0;
  for (char c : sent) {
    ++line;
    if (c == '\r') {
      characters += static_cast<double>(line + (line + 7) / 8);
      line = 0;
    }
  }
  return characters * 10.0 / baud;
}

// Counts the answers' characters (and their CR) on top of the engine channel.
class CountingChannel : public setup::EngineChannel {
 public:
  using EngineChannel::EngineChannel;
  std::optional<std::string> Ask(std::string_view command) override { return Counted(EngineChannel::Ask(command)); }
  std::optional<std::string> HostAsk(std::string_view command) override {
    return Counted(EngineChannel::HostAsk(command));
  }
  std::size_t answered = 0;

 private:
  std::optional<std::string> Counted(std::optional<std::string> answer) {
    if (answer) answered += answer->size() + 1;
    return answer;
  }
};

}  // namespace velkor::bench
