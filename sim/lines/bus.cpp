#include "sim/lines/bus.h"

namespace velkor::sim {

void BusLine::FromHost(std::span<const std::uint8_t> bytes, const LineFormat& port, SimTime now,
                       std::vector<std::uint8_t>& toHost) {
  Record(bytes);
  Advance(port, now, toHost);
  for (std::uint8_t byte : bytes) {
    for (auto& node : nodes_) node->Receive(Symbol{byte, false}, port, now);
    Transmit(now, toHost);
  }
}

void BusLine::Advance(const LineFormat& port, SimTime now, std::vector<std::uint8_t>& toHost) {
  AdvanceMotors(port, now);
  Transmit(now, toHost);
}

void BusLine::Transmit(SimTime now, std::vector<std::uint8_t>& toHost) {
  constexpr std::uint8_t kCr = '\r';
  for (;;) {
    int senders = 0;
    std::optional<Symbol> heard;
    std::uint8_t merged = 0xFF;
    for (std::size_t i = 0; i < nodes_.size(); ++i) {
      auto symbol = nodes_[i]->TakeOneDue(now);
      if (!symbol) continue;
      ++senders;
      merged &= symbol->byte;  // drivers fighting: the low level wins where any drives it
      if (collisions_ == BusCollisions::FirstWins) {
        // Garbled symbols are compared as sent: the driver does not know the
        // receiver cannot decode it.
        const bool ends = symbol->byte == kCr;
        if (drowned_[i]) {
          if (ends) drowned_[i] = false;
          continue;
        }
        if (heard) {
          drowned_[i] = !ends;
          continue;
        }
      }
      if (!heard) heard = symbol;
    }
    if (senders == 0) return;
    if (collisions_ == BusCollisions::FirstWins) {
      if (heard) toHost.push_back(heard->garbled ? GarbageByte(heard->byte) : heard->byte);
    } else if (senders == 1) {
      toHost.push_back(heard->garbled ? GarbageByte(heard->byte) : heard->byte);
    } else {
      toHost.push_back(GarbageByte(merged));
    }
  }
}

}  // namespace velkor::sim
