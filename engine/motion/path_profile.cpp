#include "engine/motion/path_profile.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "engine/core/errors.h"

namespace velkor::engine::motion {

namespace {

[[noreturn]] void Refuse() { throw CVNXException(ErrorCode::InvalidData); }

struct Phases {
  double t1 = 0, t2 = 0, t3 = 0;
  double a1 = 0, a2 = 0, a3 = 0;
};

class Planner {
 public:
  explicit Planner(const ProfileRequest& request)
      : step_(request.timeDelta),
        length_(request.length),
        vs_(request.startSpeed),
        vmax_(request.maxSpeed),
        a_(request.acceleration) {}

  Phases Plan(double ve) const {
    const double aneed = std::fabs(ve * ve - vs_ * vs_) / (2 * length_);
    return aneed < a_ ? WithRoomToAccelerate(ve) : WithoutRoomToAccelerate(ve);
  }

 private:
  double Up(double duration) const { return std::ceil(duration / step_) * step_; }
  // When taking half of a phase leaves nothing, the rest still gets a step.
  double RestOrStep(double rest) const { return rest == 0 ? step_ : rest; }

  Phases WithRoomToAccelerate(double ve) const {
    Phases p;
    p.a1 = vmax_ > vs_ ? a_ : -a_;
    p.a3 = ve < vmax_ ? -a_ : a_;
    p.t1 = Up((vmax_ - vs_) / p.a1);
    p.t3 = Up((ve - vmax_) / p.a3);
    const double s1 = (vmax_ + vs_) * p.t1 / 2;
    p.t2 = Up(((length_ - s1) - (ve + vmax_) * p.t3 / 2) / vmax_);

    if (p.t1 == 0 && p.t3 == 0) {
      p.t1 = Up(p.t2 / 2);
      p.t2 = RestOrStep(p.t2 - p.t1);
      std::tie(p.a1, p.a2) = SolveTwoPhase(length_, p.t1, p.t2, vs_, ve);
      p.a3 = 0;
      p.t3 = 0;
    } else if (p.t1 == 0) {
      if (p.t2 <= 0) {
        p.t2 = Up(p.t3 / 2);
        p.t3 = RestOrStep(p.t3 - p.t2);
      }
      std::tie(p.a2, p.a3) = SolveTwoPhase(length_, p.t2, p.t3, vs_, ve);
      p.a1 = 0;
    } else if (p.t3 == 0) {
      if (p.t2 <= 0) {
        p.t2 = Up(p.t1 / 2);
        p.t1 = RestOrStep(p.t1 - p.t2);
      }
      std::tie(p.a1, p.a2) = SolveTwoPhase(length_, p.t1, p.t2, vs_, ve);
      p.a3 = 0;
    } else if (p.t2 > 0) {
      p.a1 = (vmax_ - vs_) / p.t1;
      std::tie(p.a2, p.a3) = SolveTwoPhase(length_ - s1, p.t2, p.t3, vmax_, ve);
    } else {
      // No room to cruise: a peak (or a dip) between the two speeds instead.
      // Whole steps can take away a cruise that the exact plan has; then
      // there is no such turning speed, and the phases are fitted as they are.
      const double s = (ve * ve + 2 * p.a1 * length_ - vs_ * vs_) / (4 * p.a1);
      const double turningSquared = 2 * p.a1 * s + vs_ * vs_;
      if (p.a1 * p.a3 < 0 && turningSquared >= 0) {
        const double vp = std::sqrt(turningSquared);
        p.t1 = Up((vp - vs_) / p.a1);
        p.t3 = Up(2 * (length_ - s) / (vp + ve));
        // An end speed lowered to the reachable one puts the peak at the
        // start, where rounding can leave the first phase without a step.
        if (p.t1 <= 0) p.t1 = step_;
        if (p.t3 <= 0) p.t3 = step_;
      }
      std::tie(p.a1, p.a3) = SolveTwoPhase(length_, p.t1, p.t3, vs_, ve);
      p.t2 = 0;
      p.a2 = 0;
    }
    return p;
  }

  // The acceleration is too small to change the speed as wanted: two phases
  // over the whole length, with what acceleration they need.
  Phases WithoutRoomToAccelerate(double ve) const {
    if (ve + vs_ <= 0) Refuse();
    Phases p;
    const double total = Up(2 * length_ / (ve + vs_));
    if (total <= step_) {
      p.t1 = p.t3 = step_;
    } else {
      p.t1 = Up(total / 2);
      p.t3 = total - p.t1;
    }
    std::tie(p.a1, p.a3) = SolveTwoPhase(length_, p.t1, p.t3, vs_, ve);
    return p;
  }

  double step_;
  double length_;
  double vs_;
  double vmax_;
  double a_;
};

bool UsableDuration(double duration) { return std::isfinite(duration) && duration >= 0; }

}  // namespace

std::pair<double, double> SolveTwoPhase(double length, double durationA, double durationB, double speedA,
                                        double speedB) {
  const double middle = (2 * length - durationB * speedB - durationA * speedA) / (durationA + durationB);
  return {(middle - speedA) / durationA, (speedB - middle) / durationB};
}

PlannedProfile PlanSpeedProfile(const ProfileRequest& request) {
  PlannedProfile planned;
  planned.endSpeed = request.endSpeed;
  if (request.length < kNegligible) return planned;  // the start sample alone
  if (request.maxSpeed <= 0) Refuse();               // it would never get there

  const double reachable = std::sqrt(2 * request.acceleration * request.length + request.startSpeed * request.startSpeed);
  planned.endSpeed = std::min(request.endSpeed, reachable);
  const Phases p = Planner(request).Plan(planned.endSpeed);

  const double total = p.t1 + p.t2 + p.t3;
  if (!UsableDuration(p.t1) || !UsableDuration(p.t2) || !UsableDuration(p.t3) || !std::isfinite(total) ||
      !std::isfinite(p.a1) || !std::isfinite(p.a2) || !std::isfinite(p.a3))
    Refuse();
  planned.profile = {p.t1, p.t1 + p.t2, total, p.a1, p.a2, p.a3};
  return planned;
}

}  // namespace velkor::engine::motion
