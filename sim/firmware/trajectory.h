#pragma once
// A simple trajectory generator: trapezoidal moves to a target in position
// mode, ramps to a signed speed in velocity mode, decelerated or abrupt stops.
// Speeds are counts per second and accelerations counts per second squared
// (the firmware converts the motor's own units at its boundary). This is the
// commanded position; where the shaft gets is the load's business. Time only
// moves when Advance is called, so tests can step it exactly.

#include <chrono>
#include <cstdint>

namespace velkor::sim {

class Trajectory {
 public:
  enum class Kind { Idle, Position, Velocity, Stopping };

  void MoveTo(double target, double speed, double acceleration);
  void RunAt(double speed, double acceleration);
  void Decelerate(double acceleration);  // "X"
  void Halt();  // "S", "OFF": stop where it is, at once

  void Advance(std::chrono::nanoseconds elapsed);

  bool InProgress() const { return kind_ != Kind::Idle; }
  double Position() const { return position_; }
  double Speed() const { return speed_; }
  double Acceleration() const { return acceleration_now_; }
  void SetPosition(double position) { position_ = position; }

 private:
  void Step(double dt);

  Kind kind_ = Kind::Idle;
  double position_ = 0;
  double speed_ = 0;
  double target_ = 0;
  double speed_limit_ = 0;
  double acceleration_ = 0;
  double acceleration_now_ = 0;
};

}  // namespace velkor::sim
