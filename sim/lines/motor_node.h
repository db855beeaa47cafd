#pragma once
// One motor as the line sees it: its firmware, the faults injected into it,
// and what it has yet to send.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sim/firmware/firmware.h"

namespace velkor::sim {

using SimTime = std::chrono::nanoseconds;  // since the simulation started

// A character on the wire; `garbled` when no receiver on the line's settings
// can decode it.
struct Symbol {
  std::uint8_t byte = 0;
  bool garbled = false;
};

struct FaultSet {
  bool silent = false;  // sends nothing at all: no echo, no answers
  // Echoes this many bytes, then nothing up to the end of that command line;
  // once.
  std::optional<int> echoStopsAfter;
  // The n-th echoed byte (1 = the first) comes back altered; once.
  std::optional<int> echoAltersByte;
  std::chrono::milliseconds answerDelay{0};  // every answer held back this long
  // After receiving this many bytes the motor is gone from the line for good.
  std::optional<int> dropAfter;
};

class MotorNode {
 public:
  MotorNode(const MotorConfig& config, const FaultSet& faults);

  // A character reaches the motor's receiver. What it sends in return is
  // queued; take it with TakeDue.
  void Receive(Symbol symbol, const LineFormat& port, SimTime now);
  // Lets time pass: the motor moves and its program runs; what the program
  // sends is queued as it is sent.
  void Advance(const LineFormat& port, SimTime now);
  // Moves what has fallen due by `now` to `out`, in the order it was queued.
  void TakeDue(SimTime now, std::vector<Symbol>& out);
  // Only the first due symbol, if any (for a bus, where motors share slots).
  std::optional<Symbol> TakeOneDue(SimTime now);
  // When something queued falls due, or the program wants time to move on.
  std::optional<SimTime> NextDue() const;

  Firmware& Motor() { return firmware_; }
  const FaultSet& Faults() const { return faults_; }
  void SetFaults(const FaultSet& faults) { faults_ = faults; }
  // Bytes echoed so far, for arming an echo fault relative to now.
  long EchoedCount() const { return echoed_; }
  // Faults from now on: their byte counts start at this moment, as the
  // operator of a running simulator means them.
  void Arm(FaultSet faults);
  bool Gone() const { return gone_; }

 private:
  struct Pending {
    Symbol symbol;
    SimTime due;
  };
  void Queue(Symbol symbol, SimTime due);
  std::optional<Symbol> FilterEcho(Symbol symbol);

  Firmware firmware_;
  FaultSet faults_;
  std::deque<Pending> outbox_;
  long received_ = 0;
  long echoed_ = 0;
  bool gone_ = false;
  bool echo_cut_ = false;  // an echo that stopped short, until the line's CR
};

// The motor's receiver decodes the line only on the same settings.
bool Understands(const LineFormat& motor, const LineFormat& port);

}  // namespace velkor::sim
