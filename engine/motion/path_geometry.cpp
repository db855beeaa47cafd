#include "engine/motion/path_geometry.h"

#include <cmath>
#include <numbers>

#include "engine/core/errors.h"
#include "engine/motion/path_profile.h"

namespace velkor::engine::motion {

namespace {
constexpr double kTwoPi = 2 * std::numbers::pi;
}  // namespace

PlaneAxes AxesOfPlane(std::int32_t plane) {
  switch (plane) {
    case 1: return {0, 2, 1};
    case 2: return {1, 2, 0};
    default: return {0, 1, 2};
  }
}

PathShape PathShape::Length(double length) {
  PathShape shape;
  shape.kind_ = PathKind::Length;
  shape.length_ = length;
  return shape;
}

PathShape PathShape::Line(const Point& start, const Point& end, std::int32_t axisCount) {
  PathShape shape;
  shape.kind_ = PathKind::Line;
  shape.start_ = start;
  shape.end_ = end;
  shape.axisCount_ = axisCount;
  double squares = 0;
  for (std::int32_t k = 0; k < axisCount; ++k) squares += (end[k] - start[k]) * (end[k] - start[k]);
  shape.length_ = std::sqrt(squares);
  return shape;
}

PathShape PathShape::Arc(const Point& start, const Point& end, const Point& center, std::int32_t plane,
                         bool clockwise) {
  PathShape shape;
  shape.kind_ = clockwise ? PathKind::ClockwiseArc : PathKind::CounterclockwiseArc;
  shape.start_ = start;
  shape.end_ = end;
  shape.axes_ = AxesOfPlane(plane);
  const auto [u, w, n] = shape.axes_;
  shape.centerU_ = center[u];
  shape.centerW_ = center[w];

  shape.startAngle_ = std::atan2(start[w] - center[w], start[u] - center[u]);
  double sweep = std::atan2(end[w] - center[w], end[u] - center[u]) - shape.startAngle_;
  if (clockwise) sweep = -sweep;
  if (sweep <= kNegligible) sweep += kTwoPi;  // the same point again is a full turn
  shape.sweep_ = sweep;

  // Only the end point's angle counts; its distance from the centre is not
  // looked at.
  shape.radius_ = std::hypot(start[u] - center[u], start[w] - center[w]);
  if (shape.radius_ <= kNegligible) throw CVNXException(ErrorCode::InvalidData);
  shape.rise_ = end[n] - start[n];
  shape.length_ = std::hypot(shape.rise_, shape.radius_ * sweep);
  if (shape.length_ <= kNegligible) throw CVNXException(ErrorCode::InvalidData);
  const double rising = shape.rise_ / shape.length_;
  shape.anglePerLength_ = std::sqrt(1 - rising * rising) / shape.radius_;
  return shape;
}

void PathShape::PositionAt(double s, Point& position) const {
  switch (kind_) {
    case PathKind::Length:
      position[0] = s;
      return;
    case PathKind::Line: {
      const double part = length_ <= kNegligible ? 0 : s / length_;
      for (std::int32_t k = 0; k < axisCount_; ++k) position[k] = start_[k] + (end_[k] - start_[k]) * part;
      return;
    }
    case PathKind::ClockwiseArc:
    case PathKind::CounterclockwiseArc: {
      const double angle = anglePerLength_ * s;
      // Any angle will do for cos and sin; wrapping it into (0, 2pi] would
      // only add rounding (a start at angle 0 would no longer lie exactly on
      // its axis).
      const double theta = kind_ == PathKind::ClockwiseArc ? startAngle_ - angle : startAngle_ + angle;
      position[axes_.u] = centerU_ + radius_ * std::cos(theta);
      position[axes_.w] = centerW_ + radius_ * std::sin(theta);
      position[axes_.n] = start_[axes_.n] + rise_ * s / length_;
      return;
    }
  }
}

}  // namespace velkor::engine::motion
