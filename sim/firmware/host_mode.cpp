#include "sim/firmware/host_mode.h"

#include <algorithm>
#include <cmath>

namespace velkor::sim {
namespace {

constexpr std::int64_t kClockMask = 0xFFFFFF;

// The wire carries 24 bits of clock: a step forward from `base` is taken
// modulo 2^24, so the buffered clocks never wrap.
std::int64_t Unwrapped(std::uint32_t clock, std::int64_t base) {
  return base + ((static_cast<std::int64_t>(clock) - base) & kClockMask);
}

bool IsPowerOfTwo(std::int64_t value) { return value > 0 && (value & (value - 1)) == 0; }

}  // namespace

HostModeTrajectory::HostModeTrajectory(int slots, bool autoClock)
    : slots_(std::clamp(slots, 1, kMostSlots)), auto_clock_(autoClock) {}

void HostModeTrajectory::Start(double position) {
  buffer_.clear();
  passed_.clear();
  last_position_ = static_cast<std::int32_t>(std::lround(position));
  from_ = HostSample{0, last_position_};
  clock_ = 0;
  running_ = false;
  errors_ = 0;
  any_sample_ = false;
  newest_clock_ = 0;
  clock_step_ = kDefaultClockStep;
  newest_automatic_ = false;
  sample_before_newest_ = false;
  before_newest_clock_ = 0;
}

void HostModeTrajectory::TakePosition(std::int32_t position) {
  if (errors_ != 0) return;  // host mode has failed: nothing more is taken
  last_position_ = position;
  if (!auto_clock_) return;
  const bool before = any_sample_;
  const std::int64_t beforeClock = newest_clock_;
  const std::int64_t clock = before ? newest_clock_ + clock_step_ : 0;
  if (buffer_.size() >= static_cast<std::size_t>(slots_)) {
    Fail(kHostBufferOverflow);
    return;
  }
  buffer_.push_back(HostSample{clock, position});
  any_sample_ = true;
  newest_clock_ = clock;
  newest_automatic_ = true;
  sample_before_newest_ = before;
  before_newest_clock_ = beforeClock;
}

void HostModeTrajectory::TakeClock(std::uint32_t clock) {
  if (errors_ != 0) return;
  if (newest_automatic_ && !buffer_.empty()) {
    // A clock right behind an automatic sample dates that sample (and sets
    // the step for the ones that follow) instead of adding one.
    newest_automatic_ = false;
    const std::int64_t base = sample_before_newest_ ? before_newest_clock_ : 0;
    const std::int64_t dated = Unwrapped(clock, base);
    if (sample_before_newest_) {
      if (!ValidStep(dated - base)) return;
      clock_step_ = dated - base;
    }
    buffer_.back().clock = dated;
    newest_clock_ = dated;
    return;
  }
  AddSample(clock, last_position_);
}

void HostModeTrajectory::AddSample(std::uint32_t clock, std::int32_t position) {
  const std::int64_t unwrapped = Unwrapped(clock, newest_clock_);
  if (any_sample_) {
    if (!ValidStep(unwrapped - newest_clock_)) return;
    clock_step_ = unwrapped - newest_clock_;
  }
  if (buffer_.size() >= static_cast<std::size_t>(slots_)) {
    Fail(kHostBufferOverflow);
    return;
  }
  buffer_.push_back(HostSample{unwrapped, position});
  any_sample_ = true;
  newest_clock_ = unwrapped;
  newest_automatic_ = false;
}

bool HostModeTrajectory::ValidStep(std::int64_t step) {
  if (IsPowerOfTwo(step)) return true;
  Fail(kHostInvalidTimeDelta);
  return false;
}

void HostModeTrajectory::Fail(std::uint8_t bit) {
  // The motor stops where it is and takes no more samples until "MD".
  errors_ |= bit;
  running_ = false;
}

void HostModeTrajectory::Go() {
  if (errors_ == 0) running_ = true;
}

void HostModeTrajectory::Advance(double ticks) {
  if (!running_ || ticks <= 0) return;
  clock_ += ticks;
  while (!buffer_.empty() && static_cast<double>(buffer_.front().clock) <= clock_) {
    from_ = buffer_.front();
    buffer_.pop_front();
    if (passed_.size() >= kPassedLimit) passed_.pop_front();
    passed_.push_back(from_);
  }
  if (buffer_.empty() && clock_ > static_cast<double>(from_.clock)) {
    clock_ = static_cast<double>(from_.clock);  // ran dry: it holds the last sample
    Fail(kHostBufferUnderflow);
  }
}

double HostModeTrajectory::Position() const {
  if (buffer_.empty()) return from_.position;
  const HostSample& to = buffer_.front();
  const double span = static_cast<double>(to.clock - from_.clock);
  const double into = clock_ - static_cast<double>(from_.clock);
  if (span <= 0 || into <= 0) return from_.position;
  const double rise = static_cast<double>(to.position) - static_cast<double>(from_.position);
  return static_cast<double>(from_.position) + rise * into / span;
}

double HostModeTrajectory::CountsPerTick() const {
  if (!running_ || buffer_.empty()) return 0;
  const HostSample& to = buffer_.front();
  const double span = static_cast<double>(to.clock - from_.clock);
  if (span <= 0) return 0;
  return (static_cast<double>(to.position) - static_cast<double>(from_.position)) / span;
}

std::array<std::uint8_t, 5> HostModeTrajectory::StatusAnswer() const {
  std::array<std::uint8_t, 5> answer{0xF9, 0, 0, 0, 0};
  const int free = FreeSlots();
  if (errors_ != 0) {
    answer[1] = errors_;
    answer[2] = static_cast<std::uint8_t>(static_cast<std::int8_t>(free));
    return answer;
  }
  const auto clock = static_cast<std::uint32_t>(Clock() & kClockMask);
  answer[1] = static_cast<std::uint8_t>(0x80 | free);
  answer[2] = static_cast<std::uint8_t>(clock >> 16);
  answer[3] = static_cast<std::uint8_t>(clock >> 8);
  answer[4] = static_cast<std::uint8_t>(clock);
  return answer;
}

}  // namespace velkor::sim
