#pragma once
// The shapes a path can take and the position on them at a distance along
// the path: a plain length on one axis, a straight line in up to six axes,
// and a circular arc in one of three planes, helical when the axis normal to
// the plane moves as well.

#include <array>
#include <cstdint>

namespace velkor::engine::motion {

inline constexpr std::int32_t kMostAxes = 6;
inline constexpr std::int32_t kMostArcAxes = 3;
using Point = std::array<double, kMostAxes>;

enum class PathKind : std::uint8_t { Length = 0, Line = 1, ClockwiseArc = 2, CounterclockwiseArc = 4 };

// Axes from 0: the two of the plane (u, w) and the normal one (n).
struct PlaneAxes {
  std::int32_t u = 0;
  std::int32_t w = 1;
  std::int32_t n = 2;
};
// Plane 0: axes 1 and 2; 1: axes 1 and 3; 2: axes 2 and 3.
PlaneAxes AxesOfPlane(std::int32_t plane);

class PathShape {
 public:
  static PathShape Length(double length);
  static PathShape Line(const Point& start, const Point& end, std::int32_t axisCount);
  // Error 19 when the start lies on the centre or the arc has no length.
  static PathShape Arc(const Point& start, const Point& end, const Point& center, std::int32_t plane,
                       bool clockwise);

  PathKind Kind() const { return kind_; }
  double TotalLength() const { return length_; }
  double Radius() const { return radius_; }
  double StartAngle() const { return startAngle_; }
  double Sweep() const { return sweep_; }

  // The position at distance `s` along the path; only the path's axes are
  // written (for a length, axis 1 alone, counted from 0).
  void PositionAt(double s, Point& position) const;

 private:
  PathShape() = default;

  PathKind kind_ = PathKind::Length;
  double length_ = 0;
  Point start_{};
  Point end_{};
  std::int32_t axisCount_ = 1;
  PlaneAxes axes_;
  double centerU_ = 0;
  double centerW_ = 0;
  double radius_ = 0;
  double startAngle_ = 0;
  double sweep_ = 0;
  double rise_ = 0;            // change of the normal axis
  double anglePerLength_ = 0;  // of the planar part of the helix
};

}  // namespace velkor::engine::motion
