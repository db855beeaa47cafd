#include "sim/lines/bus.h"

namespace velkor::sim {

void BusLine::FromHost(std::span<const std::uint8_t> bytes, const LineFormat& port, SimTime now,
                       std::vector<std::uint8_t>& toHost) {
  Advance(port, now, toHost);
  for (std::uint8_t byte : bytes) {
    for (auto& node : nodes_) node->Receive(Symbol{byte, false}, port, now);
    Transmit(now, toHost);
  }
}

void BusLine::Advance(const LineFormat&, SimTime now, std::vector<std::uint8_t>& toHost) {
  AdvanceMotors(now);
  Transmit(now, toHost);
}

void BusLine::Transmit(SimTime now, std::vector<std::uint8_t>& toHost) {
  for (;;) {
    int senders = 0;
    Symbol heard;
    std::uint8_t merged = 0xFF;
    for (auto& node : nodes_) {
      if (auto symbol = node->TakeOneDue(now)) {
        ++senders;
        heard = *symbol;
        merged &= symbol->byte;  // drivers fighting: the low level wins where any drives it
      }
    }
    if (senders == 0) return;
    if (senders == 1) {
      toHost.push_back(heard.garbled ? GarbageByte(heard.byte) : heard.byte);
    } else {
      toHost.push_back(GarbageByte(merged));
    }
  }
}

}  // namespace velkor::sim
