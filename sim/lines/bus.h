#pragma once
// RS485 bus: every motor hears the host; what several motors send at the same
// time collides and reaches the host as garbage, never as a clean answer.
// Motors hear only the host here, not each other.

#include "sim/lines/line.h"

namespace velkor::sim {

class BusLine final : public Line {
 public:
  explicit BusLine(std::vector<std::unique_ptr<MotorNode>> nodes) : Line(Wiring::Bus, std::move(nodes)) {}

  void FromHost(std::span<const std::uint8_t> bytes, const LineFormat& port, SimTime now,
                std::vector<std::uint8_t>& toHost) override;
  void Advance(const LineFormat& port, SimTime now, std::vector<std::uint8_t>& toHost) override;

 private:
  // Character slot by character slot: one sender is heard, several collide.
  void Transmit(SimTime now, std::vector<std::uint8_t>& toHost);
};

}  // namespace velkor::sim
