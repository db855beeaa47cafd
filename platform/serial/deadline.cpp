#include "platform/serial/deadline.h"

#include <algorithm>
#include <climits>

namespace velkor::serial {

std::optional<Deadline::Clock::duration> Deadline::remaining(Clock::time_point now) const {
  if (!limit_) return std::nullopt;
  const Clock::duration elapsed = now - start_;
  return elapsed >= *limit_ ? Clock::duration::zero() : *limit_ - elapsed;
}

int Deadline::PollMilliseconds(Clock::time_point now) const {
  const auto left = remaining(now);
  if (!left) return -1;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(*left).count();
  return static_cast<int>(std::min<decltype(ms)>(ms, INT_MAX));
}

const Deadline& Deadline::Earlier(const Deadline& a, const Deadline& b, Clock::time_point now) {
  const auto left = a.remaining(now);
  const auto right = b.remaining(now);
  if (!left) return b;
  if (!right) return a;
  return *right < *left ? b : a;
}

}  // namespace velkor::serial
