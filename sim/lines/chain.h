#pragma once
// RS232 daisy chain: the host's bytes reach motor 1; each motor passes on to
// the next what it sends (its echo, then its answers); the last motor's output
// returns to the host. A motor with its echo off ends the chain there.

#include "sim/lines/line.h"

namespace velkor::sim {

class ChainLine final : public Line {
 public:
  explicit ChainLine(std::vector<std::unique_ptr<MotorNode>> nodes) : Line(Wiring::Chain, std::move(nodes)) {}

  void FromHost(std::span<const std::uint8_t> bytes, const LineFormat& port, SimTime now,
                std::vector<std::uint8_t>& toHost) override;
  void Advance(const LineFormat& port, SimTime now, std::vector<std::uint8_t>& toHost) override;

 private:
  // Feeds `symbols` to motor `first` and on down the chain.
  void PassOn(std::size_t first, std::vector<Symbol> symbols, const LineFormat& port, SimTime now,
              std::vector<std::uint8_t>& toHost);
};

}  // namespace velkor::sim
