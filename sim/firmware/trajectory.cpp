#include "sim/firmware/trajectory.h"

#include <algorithm>
#include <cmath>

namespace velkor::sim {
namespace {

// Integration step; short enough that a ramp ends within a count.
constexpr double kStep = 0.0005;
// Beyond this much elapsed time a move has long ended; integrating it all would
// only waste time, so the rest is taken in coarse steps.
constexpr double kFineSpan = 120.0;

}  // namespace

void Trajectory::MoveTo(double target, double speed, double acceleration) {
  if (speed <= 0 || acceleration <= 0) return;
  kind_ = Kind::Position;
  target_ = target;
  speed_limit_ = speed;
  acceleration_ = acceleration;
}

void Trajectory::RunAt(double speed, double acceleration) {
  if (acceleration <= 0) return;
  kind_ = Kind::Velocity;
  speed_limit_ = speed;
  acceleration_ = acceleration;
}

void Trajectory::Decelerate(double acceleration) {
  if (kind_ == Kind::Idle) return;
  if (acceleration > 0) acceleration_ = acceleration;
  if (acceleration_ <= 0) {
    Halt();
    return;
  }
  kind_ = Kind::Stopping;
}

void Trajectory::Halt() {
  kind_ = Kind::Idle;
  speed_ = 0;
  acceleration_now_ = 0;
  position_ = std::round(position_);
}

void Trajectory::Advance(std::chrono::nanoseconds elapsed) {
  double left = std::chrono::duration<double>(elapsed).count();
  double fine = std::min(left, kFineSpan);
  while (fine > 0 && kind_ != Kind::Idle) {
    double dt = std::min(kStep, fine);
    Step(dt);
    fine -= dt;
  }
  left -= std::min(left, kFineSpan);
  while (left > 0 && kind_ != Kind::Idle) {
    double dt = std::min(0.05, left);
    Step(dt);
    left -= dt;
  }
}

void Trajectory::Step(double dt) {
  double a = acceleration_;
  double wanted = 0;
  switch (kind_) {
    case Kind::Idle:
      return;
    case Kind::Velocity:
      wanted = speed_limit_;
      break;
    case Kind::Stopping:
      wanted = 0;
      break;
    case Kind::Position: {
      double remaining = target_ - position_;
      double braking = speed_ * speed_ / (2 * a);
      double direction = remaining >= 0 ? 1.0 : -1.0;
      bool towards = speed_ * direction >= 0;
      if (std::fabs(remaining) < 0.5 && std::fabs(speed_) <= a * dt * 2) {
        position_ = target_;
        speed_ = 0;
        acceleration_now_ = 0;
        kind_ = Kind::Idle;
        return;
      }
      wanted = (towards && std::fabs(remaining) <= braking) ? 0 : direction * speed_limit_;
      break;
    }
  }
  double change = std::clamp(wanted - speed_, -a * dt, a * dt);
  double before = speed_;
  double was = position_;
  speed_ += change;
  acceleration_now_ = change / dt;
  position_ += (before + speed_) / 2 * dt;
  // Never run past the target: a real profile would have ended there.
  if (kind_ == Kind::Position && (target_ - was) * (target_ - position_) < 0) {
    position_ = target_;
    speed_ = 0;
    acceleration_now_ = 0;
    kind_ = Kind::Idle;
    return;
  }
  if (kind_ == Kind::Stopping && speed_ == 0) {
    acceleration_now_ = 0;
    kind_ = Kind::Idle;
    position_ = std::round(position_);
  }
}

}  // namespace velkor::sim
