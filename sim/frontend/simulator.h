#pragma once
// A running scenario: one pseudo-terminal per port, served by one thread,
// each published under its COM name while the simulator lives.

#include <memory>
#include <string>
#include <vector>

#include "sim/frontend/port_directory.h"
#include "sim/frontend/port_server.h"
#include "sim/scenario/scenario.h"

namespace velkor::sim {

class Simulator {
 public:
  // Nothing, and the reason in `error`, when a port cannot be made or named.
  // `directory` may be null (ports are then reached by device path only); it
  // must outlive the simulator.
  // `clock`, when given, is the motors' time (see PortServer::UseClock).
  static std::unique_ptr<Simulator> Start(const Scenario& scenario, PortDirectory* directory, std::string& error,
                                          std::function<SimTime()> clock = {});
  ~Simulator();  // stops serving and withdraws the published names
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  std::size_t PortCount() const { return server_.PortCount(); }
  const std::string& PortName(std::size_t port) const { return names_.at(port); }  // "" when not published
  const std::string& DevicePath(std::size_t port) const { return server_.DevicePath(port); }

  template <class Use>
  auto WithLine(std::size_t port, Use&& use) {
    return server_.WithLine(port, std::forward<Use>(use));
  }
  template <class Use>
  auto WithMotor(std::size_t port, std::size_t motor, Use&& use) {
    return server_.WithLine(port, [&](Line& line) { return use(line.Motor(motor)); });
  }

  // A line for people: "COM3 /dev/pts/7 chain: motor 1 serial A1001 ...".
  std::vector<std::string> Describe() const;

 private:
  struct Token {};  // only Start makes simulators

 public:
  explicit Simulator(Token) {}

 private:

  PortServer server_;
  PortDirectory* directory_ = nullptr;
  std::vector<std::string> names_;
  std::vector<std::string> descriptions_;
};

// "A1001" for a serial number whose top byte is a character, else the number.
std::string SerialText(std::uint32_t serial);

}  // namespace velkor::sim
