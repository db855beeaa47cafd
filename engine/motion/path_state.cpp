#include "engine/motion/path_state.h"

#include <cmath>
#include <limits>
#include <new>
#include <utility>

#include "engine/core/errors.h"

namespace velkor::engine::motion {

namespace {

[[noreturn]] void Refuse() { throw CVNXException(ErrorCode::InvalidData); }

// Speeds, accelerations and positions: a number, and for some not negative.
double Finite(double value) {
  if (!std::isfinite(value)) Refuse();
  return value;
}
double NotNegative(double value) {
  if (Finite(value) < 0) Refuse();
  return value;
}

std::size_t AxisIndex(std::int32_t axis) {
  if (axis < 1 || axis > kMostAxes) Refuse();
  return static_cast<std::size_t>(axis - 1);
}

std::int32_t CountOf(std::span<const double> coordinates) { return static_cast<std::int32_t>(coordinates.size()); }

}  // namespace

void PathState::SetEndSpeed(double speed) { endSpeed_ = NotNegative(speed); }
void PathState::SetAcceleration(double acceleration) { acceleration_ = NotNegative(acceleration); }
void PathState::SetStartSpeed(double speed) { startSpeed_ = NotNegative(speed); }
double PathState::StartPoint(std::int32_t axis) const { return startPoint_[AxisIndex(axis)]; }
void PathState::SetStartPoint(std::int32_t axis, double position) { startPoint_[AxisIndex(axis)] = Finite(position); }
double PathState::EndPoint(std::int32_t axis) const { return endPoint_[AxisIndex(axis)]; }

void PathState::SetTimeDelta(std::int32_t delta) {
  if (delta < 0) Refuse();
  timeDelta_ = delta;
}

void PathState::SetPlane(std::int32_t plane) {
  if (plane < 0 || plane > 2) Refuse();
  plane_ = plane;
}

const PathTable& PathState::GeneratePath(double maxSpeed, double totalLength) {
  return Length(maxSpeed, totalLength, FirstSample::Left);
}
const PathTable& PathState::CreatePath(double maxSpeed, double totalLength) {
  return Length(maxSpeed, totalLength, FirstSample::Included);
}
const PathTable& PathState::GenerateLinePath(double maxSpeed, std::span<const double> endpoint) {
  return Line(maxSpeed, endpoint, FirstSample::Left);
}
const PathTable& PathState::CreateLinePath(double maxSpeed, std::span<const double> endpoint) {
  return Line(maxSpeed, endpoint, FirstSample::Included);
}
const PathTable& PathState::GenerateArcPath(double maxSpeed, std::span<const double> endpoint,
                                            std::span<const double> center, bool clockwise) {
  return Arc(maxSpeed, endpoint, center, clockwise, FirstSample::Left);
}
const PathTable& PathState::CreateArcPath(double maxSpeed, std::span<const double> endpoint,
                                          std::span<const double> center, bool clockwise) {
  return Arc(maxSpeed, endpoint, center, clockwise, FirstSample::Included);
}

const PathTable& PathState::Length(double maxSpeed, double totalLength, FirstSample first) {
  NotNegative(maxSpeed);
  NotNegative(totalLength);
  maxSpeed_ = maxSpeed;
  totalLength_ = totalLength;
  axisCount_ = 1;
  kind_ = PathKind::Length;
  return Generate(PathShape::Length(totalLength), first);
}

const PathTable& PathState::Line(double maxSpeed, std::span<const double> endpoint, FirstSample first) {
  maxSpeed_ = maxSpeed;
  // A line needs at least one axis to move along.
  if (endpoint.empty() || CountOf(endpoint) > kMostAxes) Refuse();
  StoreEndPoint(endpoint);
  axisCount_ = CountOf(endpoint);
  kind_ = PathKind::Line;
  return Generate(PathShape::Line(startPoint_, endPoint_, axisCount_), first);
}

const PathTable& PathState::Arc(double maxSpeed, std::span<const double> endpoint, std::span<const double> center,
                                bool clockwise, FirstSample first) {
  maxSpeed_ = maxSpeed;
  if (CountOf(endpoint) > kMostArcAxes || center.size() != endpoint.size()) Refuse();
  // Both axes of the plane must be among the given ones.
  const PlaneAxes axes = AxesOfPlane(plane_);
  if (axes.u >= CountOf(endpoint) || axes.w >= CountOf(endpoint)) Refuse();
  StoreEndPoint(endpoint);
  center_.fill(0);
  for (std::size_t k = 0; k < center.size(); ++k) center_[k] = Finite(center[k]);
  axisCount_ = CountOf(endpoint);
  kind_ = clockwise ? PathKind::ClockwiseArc : PathKind::CounterclockwiseArc;
  const PathShape shape = PathShape::Arc(startPoint_, endPoint_, center_, plane_, clockwise);
  radius_ = shape.Radius();
  startAngle_ = shape.StartAngle();
  return Generate(shape, first);
}

void PathState::StoreEndPoint(std::span<const double> endpoint) {
  for (double coordinate : endpoint) Finite(coordinate);
  endPoint_ = startPoint_;
  for (std::size_t k = 0; k < endpoint.size(); ++k) endPoint_[k] = endpoint[k];
}

void PathState::CheckParameters() const {
  if (timeDelta_ <= 0) Refuse();
  if (!std::isfinite(maxSpeed_)) Refuse();
  if (acceleration_ == 0) {
    if (slowToEndSpeed_ && endSpeed_ != startSpeed_) Refuse();
    if (maxSpeed_ != startSpeed_) Refuse();
  }
  if (startSpeed_ < 0 || endSpeed_ < 0 || maxSpeed_ < 0 || acceleration_ < 0 || startClock_ < 0) Refuse();
}

const PathTable& PathState::Generate(const PathShape& shape, FirstSample first) {
  totalLength_ = shape.TotalLength();
  CheckParameters();
  const PlannedProfile planned = PlanSpeedProfile({.length = totalLength_,
                                                   .startSpeed = startSpeed_,
                                                   .maxSpeed = maxSpeed_,
                                                   .endSpeed = slowToEndSpeed_ ? endSpeed_ : maxSpeed_,
                                                   .acceleration = acceleration_,
                                                   .timeDelta = timeDelta_});
  const SpeedProfile& profile = planned.profile;
  const double step = timeDelta_;

  // The phases are whole steps, so this is a whole number.
  const double steps = std::floor(profile.total / step);
  if (steps + 1 > static_cast<double>(kMostSamples)) throw CVNXException(ErrorCode::OutOfMemory);
  const auto count = static_cast<std::size_t>(steps) + 1;
  const std::int64_t nextClock = std::int64_t{startClock_} + static_cast<std::int64_t>(count) * timeDelta_;
  if (nextClock > std::numeric_limits<std::int32_t>::max()) Refuse();  // the clock would wrap

  const std::size_t skipped = first == FirstSample::Left ? 1 : 0;
  PathTable table;
  try {
    table = PathTable(axisCount_, count - skipped);
  } catch (const std::bad_alloc&) {
    throw CVNXException(ErrorCode::OutOfMemory);
  }

  Point position = startPoint_;
  std::int32_t clock = startClock_;
  double speed = startSpeed_;
  double speedAtLastSample = speed;
  double distance = 0;
  double time = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (i >= skipped) {
      shape.PositionAt(distance, position);
      table.Append(position.data(), clock);
    }
    speedAtLastSample = speed;
    clock += timeDelta_;
    time += step;
    const double next = speed + profile.AccelerationUntil(time) * step;
    distance += (speed + next) * step / 2;
    speed = next;
  }

  profile_ = profile;
  effectiveEndSpeed_ = planned.endSpeed;
  samples_ = std::move(table);
  startClock_ = static_cast<std::int32_t>(nextClock);
  startSpeed_ = speedAtLastSample < kNegligible ? 0 : speedAtLastSample;
  if (kind_ != PathKind::Length) startPoint_ = endPoint_;
  return samples_;
}

}  // namespace velkor::engine::motion
