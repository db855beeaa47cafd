#include "sim/frontend/paced_line.h"

#include <algorithm>

namespace velkor::sim {
namespace {

// Bytes the host has not read yet are kept up to this much; beyond it the
// oldest go, as a real port's buffer would overflow.
constexpr std::size_t kOutgoingLimit = 64 * 1024;

}  // namespace

std::chrono::nanoseconds PacedLine::CharTime() const {
  const int baud = format.baud > 0 ? format.baud : 9600;
  return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

void PacedLine::FromHost(std::span<const std::uint8_t> bytes, Clock::time_point now) {
  for (std::uint8_t byte : bytes) {
    auto due = now;
    if (pace_) {
      // A character is on the line for its whole time before the motor has it.
      due = std::max(now, lastIn_) + CharTime();
      lastIn_ = due;
    }
    incoming_.push_back(Timed{byte, due});
  }
}

// What the motors send starts when they have heard the byte that caused it,
// so paced output is timed from the byte's own arrival, not from when the
// server happened to wake.
void PacedLine::Send(const std::vector<std::uint8_t>& toHost, Clock::time_point from, Clock::time_point now) {
  for (std::uint8_t byte : toHost) {
    auto due = now;
    if (pace_) {
      due = std::max(from, lastOut_) + CharTime();
      lastOut_ = due;
    }
    outgoing_.push_back(Timed{byte, due});
  }
}

void PacedLine::Serve(Clock::time_point now, const SimClock& simNow) {
  std::vector<std::uint8_t> toHost;
  while (!incoming_.empty() && incoming_.front().due <= now) {
    // Bytes that arrived together go to the line together.
    std::vector<std::uint8_t> bytes;
    const auto due = incoming_.front().due;
    while (!incoming_.empty() && incoming_.front().due == due) {
      bytes.push_back(incoming_.front().byte);
      incoming_.pop_front();
    }
    toHost.clear();
    line_->FromHost(bytes, format, simNow(pace_ ? due : now), toHost);
    Send(toHost, due, now);
  }
  toHost.clear();
  line_->Advance(format, simNow(now), toHost);
  Send(toHost, now, now);
  while (outgoing_.size() > kOutgoingLimit) outgoing_.pop_front();
}

std::vector<std::uint8_t> PacedLine::DueForHost(Clock::time_point now) const {
  std::vector<std::uint8_t> ready;
  for (const Timed& timed : outgoing_) {
    if (timed.due > now) break;
    ready.push_back(timed.byte);
  }
  return ready;
}

bool PacedLine::HasDueForHost(Clock::time_point now) const {
  return !outgoing_.empty() && outgoing_.front().due <= now;
}

void PacedLine::Written(std::size_t count) {
  outgoing_.erase(outgoing_.begin(), outgoing_.begin() + static_cast<std::ptrdiff_t>(std::min(count, outgoing_.size())));
}

std::optional<PacedLine::Clock::time_point> PacedLine::NextWake(Clock::time_point now,
                                                                std::optional<Clock::time_point> lineStart) const {
  std::optional<Clock::time_point> next;
  auto consider = [&](Clock::time_point t) {
    if (!next || t < *next) next = t;
  };
  if (!incoming_.empty()) consider(incoming_.front().due);
  // Output already due waits for the host to take it, not for a time-out.
  if (!outgoing_.empty() && outgoing_.front().due > now) consider(outgoing_.front().due);
  if (auto due = line_->NextDue(); due && lineStart) consider(*lineStart + *due);
  return next;
}

}  // namespace velkor::sim
