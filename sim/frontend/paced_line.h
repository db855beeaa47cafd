#pragma once
// A line model behind one host connection (a pseudo-terminal or an adapter's
// socket), with the bytes in both directions held in time order. With pacing
// on, every character takes its line time (10 bits) to come in and to go
// out, so that a benchmark sees the line's own limit; without it bytes pass
// as soon as the server looks.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "sim/lines/line.h"

namespace velkor::sim {

class PacedLine {
 public:
  using Clock = std::chrono::steady_clock;
  // The motors' time at a moment of real time.
  using SimClock = std::function<SimTime(Clock::time_point)>;

  PacedLine(std::unique_ptr<Line> line, bool pace) : line_(std::move(line)), pace_(pace) {}

  Line& Model() { return *line_; }
  // The host side's settings; the rate sets the pace.
  LineFormat format;

  // Bytes the host wrote, seen at `now`.
  void FromHost(std::span<const std::uint8_t> bytes, Clock::time_point now);
  // Hands the line what has come in by `now` and lets its time pass.
  void Serve(Clock::time_point now, const SimClock& simNow);
  // What is due for the host by `now`, oldest first; Written takes off what
  // the host was given.
  std::vector<std::uint8_t> DueForHost(Clock::time_point now) const;
  bool HasDueForHost(Clock::time_point now) const;
  // Bytes from the host that have not reached the line yet (paced ones).
  bool HasIncoming() const { return !incoming_.empty(); }
  void Written(std::size_t count);
  // Nobody reads: what was on its way to the host is lost.
  void DropForHost() { outgoing_.clear(); }
  // The next moment something falls due; `lineStart` is the real time of the
  // motors' time 0, none when the motors' time is injected (and does not
  // move by itself).
  std::optional<Clock::time_point> NextWake(Clock::time_point now, std::optional<Clock::time_point> lineStart) const;

 private:
  struct Timed {
    std::uint8_t byte;
    Clock::time_point due;
  };
  std::chrono::nanoseconds CharTime() const;
  void Send(const std::vector<std::uint8_t>& toHost, Clock::time_point from, Clock::time_point now);

  std::unique_ptr<Line> line_;
  bool pace_;
  std::deque<Timed> incoming_;  // paced bytes not yet on the line
  std::deque<Timed> outgoing_;  // bytes for the host not yet written
  Clock::time_point lastIn_{}, lastOut_{};
};

}  // namespace velkor::sim
