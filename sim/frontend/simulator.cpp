#include "sim/frontend/simulator.h"

#include <cctype>

namespace velkor::sim {

std::string SerialText(std::uint32_t serial) {
  auto top = static_cast<unsigned char>(serial >> 24);
  if (std::isprint(top)) return std::string(1, static_cast<char>(top)) + std::to_string(serial & 0xFFFFFF);
  return std::to_string(serial);
}

namespace {

std::string FaultText(const FaultSet& faults) {
  std::string text;
  if (faults.silent) text += " silent";
  if (faults.echoStopsAfter) text += " echo-stops-after=" + std::to_string(*faults.echoStopsAfter);
  if (faults.echoAltersByte) text += " echo-alters-byte=" + std::to_string(*faults.echoAltersByte);
  if (faults.answerDelay.count() > 0) text += " answer-delay=" + std::to_string(faults.answerDelay.count());
  if (faults.dropAfter) text += " drop-after=" + std::to_string(*faults.dropAfter);
  return text.empty() ? text : ", faults:" + text;
}

}  // namespace

std::unique_ptr<Simulator> Simulator::Start(const Scenario& scenario, PortDirectory* directory, std::string& error,
                                            std::function<SimTime()> clock) {
  auto simulator = std::make_unique<Simulator>(Token{});
  simulator->directory_ = directory;
  if (clock) simulator->server_.UseClock(std::move(clock));
  for (const PortScenario& port : scenario.ports) {
    auto index = simulator->server_.AddPort(MakeLine(port.wiring, port.motors, port.collisions), port.pace, error);
    if (!index) return nullptr;
    std::string name;
    const std::string& device = simulator->server_.DevicePath(*index);
    if (directory) {
      auto published = directory->Publish(port.comNumber, device);
      if (!published) {
        error = port.comNumber ? "cannot publish COM" + std::to_string(*port.comNumber) + " (taken or not writable)"
                               : "cannot publish a port name";
        return nullptr;  // the destructor withdraws what was published so far
      }
      name = *published;
    }
    simulator->names_.push_back(name);
    std::string text = (name.empty() ? std::string("-") : name) + " " + device +
                       (port.wiring == Wiring::Chain ? " chain" : " bus") +
                       (port.collisions == BusCollisions::FirstWins ? " dominant" : "") + (port.pace ? " paced" : "");
    simulator->descriptions_.push_back(text);
    for (std::size_t m = 0; m < port.motors.size(); ++m) {
      const MotorConfig& c = port.motors[m].config;
      simulator->descriptions_.push_back("  motor " + std::to_string(m + 1) + ": serial " + SerialText(c.serial) +
                                         ", firmware " + c.firmware + ", model " + c.model + ", address " +
                                         std::to_string(c.address) + ", " + std::to_string(c.baud) + " baud" +
                                         FaultText(port.motors[m].faults));
    }
  }
  if (!simulator->server_.Start(error)) return nullptr;
  return simulator;
}

Simulator::~Simulator() {
  server_.Stop();
  if (!directory_) return;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (!names_[i].empty()) directory_->Withdraw(names_[i], server_.DevicePath(i));
  }
}

std::vector<std::string> Simulator::Describe() const { return descriptions_; }

}  // namespace velkor::sim
