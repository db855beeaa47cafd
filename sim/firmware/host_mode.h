#pragma once
// Host mode: the host streams samples (a position and a clock) into a small
// trajectory buffer, and once started the motor runs its own sample clock and
// follows the straight line between the two buffered samples around it. No
// I/O and no time of its own: the firmware hands it the packets and the clock
// ticks that have passed.

#include <array>
#include <cstdint>
#include <deque>

namespace velkor::sim {

struct HostSample {
  std::int64_t clock = 0;  // counted from "MD", not wrapped at 24 bits
  std::int32_t position = 0;
  bool operator==(const HostSample&) const = default;
};

// Error bits of the state report.
inline constexpr std::uint8_t kHostInvalidTimeDelta = 0x04;
inline constexpr std::uint8_t kHostBufferOverflow = 0x20;
inline constexpr std::uint8_t kHostBufferUnderflow = 0x40;

class HostModeTrajectory {
 public:
  static constexpr int kDefaultSlots = 32;
  static constexpr int kMostSlots = 127;  // the clock report has 7 bits for them
  static constexpr std::int64_t kDefaultClockStep = 128;
  // Samples the clock has passed, kept for tests; the oldest go first.
  static constexpr std::size_t kPassedLimit = std::size_t{1} << 16;

  // With `autoClock` every position packet is a sample of its own, one clock
  // step after the one before.
  HostModeTrajectory(int slots, bool autoClock);

  // "MD": empty buffer, clock 0, no errors, stopped; `position` is held
  // until the first sample is reached.
  void Start(double position);
  void TakePosition(std::int32_t position);
  void TakeClock(std::uint32_t clock);  // its low 24 bits count
  void Go();
  void Advance(double ticks);

  // 0xF9, then a clock report, or a state report once an error is latched.
  std::array<std::uint8_t, 5> StatusAnswer() const;

  double Position() const;
  double CountsPerTick() const;  // slope of the segment being followed
  bool Running() const { return running_; }
  std::int64_t Clock() const { return static_cast<std::int64_t>(clock_); }
  int Slots() const { return slots_; }
  bool AutoClock() const { return auto_clock_; }
  int FreeSlots() const { return slots_ - static_cast<int>(buffer_.size()); }
  std::uint8_t Errors() const { return errors_; }
  const std::deque<HostSample>& Buffered() const { return buffer_; }
  const std::deque<HostSample>& Passed() const { return passed_; }

 private:
  void AddSample(std::uint32_t clock, std::int32_t position);
  bool ValidStep(std::int64_t step);
  void Fail(std::uint8_t bit);

  int slots_;
  bool auto_clock_;
  std::deque<HostSample> buffer_;
  std::deque<HostSample> passed_;
  HostSample from_;  // start of the segment being followed
  double clock_ = 0;
  bool running_ = false;
  std::uint8_t errors_ = 0;
  std::int32_t last_position_ = 0;  // of the last position packet
  bool any_sample_ = false;  // since "MD"
  std::int64_t newest_clock_ = 0;
  std::int64_t clock_step_ = kDefaultClockStep;  // of the automatic clock
  // An automatic sample whose clock a following clock packet may still set.
  bool newest_automatic_ = false;
  std::int64_t before_newest_clock_ = 0;
  bool sample_before_newest_ = false;
};

}  // namespace velkor::sim
