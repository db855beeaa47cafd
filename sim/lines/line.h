#pragma once
// A line connects the motors of one port to the host's byte stream: an RS232
// daisy chain or an RS485 bus. It owns the motors, applies the faults a
// scenario injects and turns what cannot be understood into garbage, as a
// real line does. It does no I/O; the front end hands it the host's bytes,
// the port's current settings and the time.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "sim/firmware/firmware.h"
#include "sim/lines/motor_node.h"

namespace velkor::sim {

enum class Wiring { Chain, Bus };

// What the host reads when several motors on a bus send at once: garbage, or
// (where one transmitter overpowers the others) the first sender in wiring
// order, clean, with the others' answers lost.
enum class BusCollisions { Garbage, FirstWins };

class Line {
 public:
  virtual ~Line() = default;

  // Bytes the host sent, at simulated time `now`; what reaches the host in
  // return is appended to `toHost`.
  virtual void FromHost(std::span<const std::uint8_t> bytes, const LineFormat& port, SimTime now,
                        std::vector<std::uint8_t>& toHost) = 0;
  // Lets time pass: trajectories move and slow answers fall due.
  virtual void Advance(const LineFormat& port, SimTime now, std::vector<std::uint8_t>& toHost) = 0;
  // When something held back (a slow answer) falls due, if anything is.
  std::optional<SimTime> NextDue() const;

  // Every byte the host sent since the last call, as it came (the last
  // kHostRecord kept), for tests to see the exact traffic.
  static constexpr std::size_t kHostRecord = 1 << 20;
  std::string TakeHostBytes() { return std::exchange(host_bytes_, {}); }

  Wiring Kind() const { return wiring_; }
  std::size_t MotorCount() const { return nodes_.size(); }
  // `index` below MotorCount(), in wiring order.
  Firmware& Motor(std::size_t index) { return nodes_.at(index)->Motor(); }
  MotorNode& Node(std::size_t index) { return *nodes_.at(index); }

 protected:
  Line(Wiring wiring, std::vector<std::unique_ptr<MotorNode>> nodes);
  void AdvanceMotors(const LineFormat& port, SimTime now);
  void Record(std::span<const std::uint8_t> bytes);

  Wiring wiring_;
  std::vector<std::unique_ptr<MotorNode>> nodes_;
  std::string host_bytes_;
};

struct MotorSetup {
  MotorConfig config;
  FaultSet faults;
};

// `collisions` matters on a bus only.
std::unique_ptr<Line> MakeLine(Wiring wiring, const std::vector<MotorSetup>& motors,
                               BusCollisions collisions = BusCollisions::Garbage);

// The byte a host reads where the line carried something it cannot decode.
std::uint8_t GarbageByte(std::uint8_t sent);

}  // namespace velkor::sim
