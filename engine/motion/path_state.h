#pragma once
// Path generation: a length, a line or an arc becomes a table of samples one
// time step apart, under a speed profile planned from the acceleration limit,
// the maximum speed and the start and end speeds. Consecutive paths chain:
// each generation moves the start point, the start speed and the start clock
// to where the path ended.
//
// Generate* leaves out the first sample (the one at the start point, which
// the previous path already ended on); Create* includes it. Every failure is
// CVNXException: 19 for bad arguments and plans without a finite duration,
// 31 for a table longer than kMostSamples or memory running out.

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/motion/path_geometry.h"
#include "engine/motion/path_profile.h"
#include "engine/motion/path_table.h"

namespace velkor::engine::motion {

// Ten million samples: almost three hours of motion at one sample per
// millisecond, and about 560 MB for six axes and their clocks.
inline constexpr std::size_t kMostSamples = 10'000'000;

class PathState {
 public:
  double EndSpeed() const { return endSpeed_; }
  void SetEndSpeed(double speed);
  double Acceleration() const { return acceleration_; }
  void SetAcceleration(double acceleration);
  double StartSpeed() const { return startSpeed_; }
  void SetStartSpeed(double speed);
  // Axis from 1 to 6.
  double StartPoint(std::int32_t axis) const;
  void SetStartPoint(std::int32_t axis, double position);
  // A negative clock is refused when a path is generated.
  std::int32_t StartClock() const { return startClock_; }
  void SetStartClock(std::int32_t clock) { startClock_ = clock; }
  bool SlowToEndSpeed() const { return slowToEndSpeed_; }
  void SetSlowToEndSpeed(bool slow) { slowToEndSpeed_ = slow; }
  std::int32_t TimeDelta() const { return timeDelta_; }
  void SetTimeDelta(std::int32_t delta);
  // The minimum, allowed and preceding counts of the automation member are
  // accepted there and have no effect.
  void SetupTimeDelta(std::int32_t averageDelta) { SetTimeDelta(averageDelta); }
  std::int32_t Plane() const { return plane_; }
  void SetPlane(std::int32_t plane);

  // Lengths on axis 1, measured from 0.
  const PathTable& GeneratePath(double maxSpeed, double totalLength);
  const PathTable& CreatePath(double maxSpeed, double totalLength);
  // To `endpoint` (axes 1 .. up to 6) from the start point.
  const PathTable& GenerateLinePath(double maxSpeed, std::span<const double> endpoint);
  const PathTable& CreateLinePath(double maxSpeed, std::span<const double> endpoint);
  // In `Plane` about `center` to the angle of `endpoint` (2 or 3 axes, the
  // plane's two among them; a third is the helix's rise).
  const PathTable& GenerateArcPath(double maxSpeed, std::span<const double> endpoint,
                                   std::span<const double> center, bool clockwise);
  const PathTable& CreateArcPath(double maxSpeed, std::span<const double> endpoint, std::span<const double> center,
                                 bool clockwise);

  // What the last generation computed.
  const PathTable& Samples() const { return samples_; }
  double MaxSpeed() const { return maxSpeed_; }
  double TotalLength() const { return totalLength_; }
  double EffectiveEndSpeed() const { return effectiveEndSpeed_; }
  std::int32_t AxisCount() const { return axisCount_; }
  PathKind Kind() const { return kind_; }
  double Radius() const { return radius_; }
  double StartAngle() const { return startAngle_; }
  const SpeedProfile& Profile() const { return profile_; }
  // Axis from 1 to 6.
  double EndPoint(std::int32_t axis) const;

 private:
  enum class FirstSample { Left, Included };

  const PathTable& Length(double maxSpeed, double totalLength, FirstSample first);
  const PathTable& Line(double maxSpeed, std::span<const double> endpoint, FirstSample first);
  const PathTable& Arc(double maxSpeed, std::span<const double> endpoint, std::span<const double> center,
                       bool clockwise, FirstSample first);
  // Axes beyond the endpoint's own keep their start positions.
  void StoreEndPoint(std::span<const double> endpoint);
  void CheckParameters() const;
  const PathTable& Generate(const PathShape& shape, FirstSample first);

  double startSpeed_ = 0;
  std::int32_t startClock_ = 0;
  double acceleration_ = 0;
  double maxSpeed_ = 0;
  double effectiveEndSpeed_ = 0;
  double endSpeed_ = 0;
  bool slowToEndSpeed_ = true;
  Point startPoint_{};
  Point endPoint_{};
  Point center_{};
  std::int32_t timeDelta_ = 0;
  double totalLength_ = 0;
  std::int32_t plane_ = 0;
  double radius_ = 0;
  double startAngle_ = 0;
  std::int32_t axisCount_ = 0;
  PathKind kind_ = PathKind::Length;
  SpeedProfile profile_;
  PathTable samples_;
};

}  // namespace velkor::engine::motion
