#include "sim/lines/chain.h"

namespace velkor::sim {
namespace {

void Deliver(const std::vector<Symbol>& symbols, std::vector<std::uint8_t>& toHost) {
  for (const Symbol& symbol : symbols) toHost.push_back(symbol.garbled ? GarbageByte(symbol.byte) : symbol.byte);
}

}  // namespace

void ChainLine::FromHost(std::span<const std::uint8_t> bytes, const LineFormat& port, SimTime now,
                         std::vector<std::uint8_t>& toHost) {
  Record(bytes);
  Advance(port, now, toHost);
  for (std::uint8_t byte : bytes) PassOn(0, {Symbol{byte, false}}, port, now, toHost);
}

void ChainLine::Advance(const LineFormat& port, SimTime now, std::vector<std::uint8_t>& toHost) {
  AdvanceMotors(port, now);
  for (std::size_t i = 0; i < nodes_.size(); ++i) {
    std::vector<Symbol> due;
    nodes_[i]->TakeDue(now, due);
    if (!due.empty()) PassOn(i + 1, std::move(due), port, now, toHost);
  }
}

void ChainLine::PassOn(std::size_t first, std::vector<Symbol> symbols, const LineFormat& port, SimTime now,
                       std::vector<std::uint8_t>& toHost) {
  for (std::size_t i = first; i < nodes_.size() && !symbols.empty(); ++i) {
    std::vector<Symbol> sent;
    for (const Symbol& symbol : symbols) {
      nodes_[i]->Receive(symbol, port, now);
      nodes_[i]->TakeDue(now, sent);
    }
    symbols = std::move(sent);
  }
  Deliver(symbols, toHost);
}

}  // namespace velkor::sim
