#include "sim/lines/line.h"

#include "sim/lines/bus.h"
#include "sim/lines/chain.h"

namespace velkor::sim {

Line::Line(Wiring wiring, std::vector<std::unique_ptr<MotorNode>> nodes)
    : wiring_(wiring), nodes_(std::move(nodes)) {}

std::optional<SimTime> Line::NextDue() const {
  std::optional<SimTime> next;
  for (const auto& node : nodes_) {
    auto due = node->NextDue();
    if (due && (!next || *due < *next)) next = due;
  }
  return next;
}

void Line::AdvanceMotors(const LineFormat& port, SimTime now) {
  for (auto& node : nodes_) node->Advance(port, now);
}

void Line::Record(std::span<const std::uint8_t> bytes) {
  host_bytes_.append(bytes.begin(), bytes.end());
  if (host_bytes_.size() > kHostRecord) host_bytes_.erase(0, host_bytes_.size() - kHostRecord);
}

std::unique_ptr<Line> MakeLine(Wiring wiring, const std::vector<MotorSetup>& motors, BusCollisions collisions) {
  std::vector<std::unique_ptr<MotorNode>> nodes;
  nodes.reserve(motors.size());
  for (const MotorSetup& motor : motors) nodes.push_back(std::make_unique<MotorNode>(motor.config, motor.faults));
  if (wiring == Wiring::Chain) return std::make_unique<ChainLine>(std::move(nodes));
  return std::make_unique<BusLine>(std::move(nodes), collisions);
}

std::uint8_t GarbageByte(std::uint8_t sent) {
  // Always above 127 and never CR: garbage must not pass for an answer.
  return static_cast<std::uint8_t>((sent ^ 0x5A) | 0x80);
}

}  // namespace velkor::sim
