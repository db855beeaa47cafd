#pragma once
// The speed profile of a path: up to three phases of constant acceleration
// (speed up, cruise, slow down) whose durations are whole multiples of the
// time step, with the accelerations then fitted so that the phases cover the
// length exactly.

#include <cstdint>
#include <utility>

namespace velkor::engine::motion {

// Lengths and speeds below this count as zero.
inline constexpr double kNegligible = 0.0000000001;

struct SpeedProfile {
  double phase1End = 0;  // t1
  double phase2End = 0;  // t1 + t2
  double total = 0;      // t1 + t2 + t3
  double acceleration1 = 0;
  double acceleration2 = 0;
  double acceleration3 = 0;

  // The acceleration of the step that ends at `time` (from the start).
  double AccelerationUntil(double time) const {
    if (time <= phase1End) return acceleration1;
    if (time <= phase2End) return acceleration2;
    return acceleration3;
  }
};

struct ProfileRequest {
  double length = 0;
  double startSpeed = 0;
  double maxSpeed = 0;
  double endSpeed = 0;  // wanted; lowered to what the acceleration can reach
  double acceleration = 0;
  std::int32_t timeDelta = 0;  // positive
};

struct PlannedProfile {
  SpeedProfile profile;
  double endSpeed = 0;  // the effective one
};

// Accelerations (first, second) of two phases of durations `durationA` and
// `durationB` that join `speedA` to `speedB` over `length`.
std::pair<double, double> SolveTwoPhase(double length, double durationA, double durationB, double speedA,
                                        double speedB);

// Error 19 for a plan without a finite duration or with an undefined phase:
// a positive length at MaxSpeed 0, a move that neither starts nor ends with
// any speed and has no acceleration to gain one, or any other inputs that
// make a duration or an acceleration infinite or NaN.
PlannedProfile PlanSpeedProfile(const ProfileRequest& request);

}  // namespace velkor::engine::motion
