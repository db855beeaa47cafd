#pragma once
// The shaft and what it is coupled to: hard stops that hold it, limit
// switches it trips, and the encoder's index pulse. The servo (or the torque)
// decides where the shaft should go; the load decides where it gets.
// Positions are in the motor's counts, which "O=" may shift away from the
// physical frame the mechanics are fixed in (counts from the power-up
// position).

#include <cstdint>

#include "sim/firmware/motor_config.h"

namespace velkor::sim {

class Load {
 public:
  explicit Load(Mechanics mechanics);

  double Position() const { return physical_ + offset_; }
  // Where the shaft is on the axis: counts from the power-up position.
  double Physical() const { return physical_; }
  // The shaft goes to `position` as far as the hard stops let it.
  void MoveTo(double position);
  // Whether the last move ended against a stop short of where it was sent.
  bool Blocked() const { return blocked_; }
  // "O=": the motor's counts are shifted so that the shaft reads `position`.
  void SetPosition(double position) { offset_ = position - physical_; }

  // Inputs held active (bit 0 = A) by a limit switch that is tripped.
  std::uint8_t ActiveInputs() const;
  // A switch on that side (+1 or -1) is tripped.
  bool LimitActive(int direction) const;

  // An index pulse has come since the last clear; the position of the
  // first one after that clear, in the counts of the moment it came (it is
  // kept after a clear, until the next pulse replaces it).
  bool IndexSeen() const { return index_seen_; }
  std::int32_t IndexPosition() const { return index_position_; }
  void ClearIndex() { index_seen_ = false; }

 private:
  bool Tripped(const LimitSwitch& limit) const;
  void PassIndex(double from, double to);

  Mechanics mechanics_;
  double physical_ = 0;
  double offset_ = 0;
  bool blocked_ = false;
  bool index_seen_ = false;
  std::int32_t index_position_ = 0;
};

}  // namespace velkor::sim
