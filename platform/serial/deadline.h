#pragma once
// A time limit that started at a known moment: how long is left, and whether
// it has run out. Waiting code asks it instead of doing clock arithmetic.

#include <chrono>
#include <optional>

namespace velkor::serial {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  // No limit at all.
  static Deadline Never() { return Deadline(); }
  static Deadline After(std::chrono::milliseconds limit) { return Deadline(Clock::now(), limit); }
  Deadline(Clock::time_point start, Clock::duration limit) : start_(start), limit_(limit) {}

  Clock::time_point start() const { return start_; }
  std::optional<Clock::duration> limit() const { return limit_; }
  bool unlimited() const { return !limit_.has_value(); }

  bool expired(Clock::time_point now = Clock::now()) const { return limit_ && now - start_ >= *limit_; }
  // Zero once expired; none when there is no limit.
  std::optional<Clock::duration> remaining(Clock::time_point now = Clock::now()) const;
  // The remaining time as a poll(2) argument: whole milliseconds rounded up so
  // that a wait never ends just short of the limit, -1 for no limit.
  int PollMilliseconds(Clock::time_point now = Clock::now()) const;

  // The one of two deadlines that runs out first.
  static const Deadline& Earlier(const Deadline& a, const Deadline& b, Clock::time_point now = Clock::now());

 private:
  Deadline() = default;
  Clock::time_point start_{};
  std::optional<Clock::duration> limit_;
};

}  // namespace velkor::serial
