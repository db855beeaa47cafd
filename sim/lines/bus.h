#pragma once
// RS485 bus: every motor hears the host; what several motors send at the same
// time collides and reaches the host as garbage, never as a clean answer --
// unless the bus lets the first sender in wiring order win. Motors hear only
// the host here, not each other.

#include "sim/lines/line.h"

namespace velkor::sim {

class BusLine final : public Line {
 public:
  BusLine(std::vector<std::unique_ptr<MotorNode>> nodes, BusCollisions collisions)
      : Line(Wiring::Bus, std::move(nodes)), collisions_(collisions), drowned_(nodes_.size(), false) {}

  void FromHost(std::span<const std::uint8_t> bytes, const LineFormat& port, SimTime now,
                std::vector<std::uint8_t>& toHost) override;
  void Advance(const LineFormat& port, SimTime now, std::vector<std::uint8_t>& toHost) override;

 private:
  // Character slot by character slot: one sender is heard, several collide.
  void Transmit(SimTime now, std::vector<std::uint8_t>& toHost);

  BusCollisions collisions_;
  // With FirstWins: a motor that lost a slot loses the rest of that line
  // too (up to its CR), so no tail of a longer answer slips through after
  // the winner has finished.
  std::vector<bool> drowned_;
};

}  // namespace velkor::sim
