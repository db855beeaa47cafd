// IVNXPath: timed samples of lengths, lines and arcs; the client passes them
// on to host-mode streaming itself.

#include <vector>

#include "engine/host/host_object.h"
#include "engine/motion/path_state.h"
#include "engine/motion/path_variants.h"

namespace velkor::engine {

namespace {

using PathGuard = InterfaceGuard<IID_IVNXPath>;

// Generates under the guard and hands the samples over as DataPairs. The
// table is not generated at all when there is nowhere to put it.
template <class Generate>
HRESULT Deliver(VARIANT* dataPairs, Generate&& generate) {
  if (!dataPairs) return E_POINTER;
  return PathGuard::Do([&] { motion::StoreDataPairs(generate(), *dataPairs); });
}

std::vector<double> Coordinates(const VARIANT& coordinates) {
  return motion::ReadCoordinates(coordinates, motion::kMostAxes);
}

}  // namespace

motion::PathState& CVNXHost::Path() {
  if (!path_) path_ = std::make_unique<motion::PathState>();
  return *path_;
}

HRESULT CVNXHost::get_EndSpeed(DOUBLE* speed) {
  return PathGuard::Get(speed, [&] { return Path().EndSpeed(); });
}
HRESULT CVNXHost::put_EndSpeed(DOUBLE speed) {
  return PathGuard::Do([&] { Path().SetEndSpeed(speed); });
}
HRESULT CVNXHost::get_Acceleration(DOUBLE* acceleration) {
  return PathGuard::Get(acceleration, [&] { return Path().Acceleration(); });
}
HRESULT CVNXHost::put_Acceleration(DOUBLE acceleration) {
  return PathGuard::Do([&] { Path().SetAcceleration(acceleration); });
}
HRESULT CVNXHost::get_StartPoint(INT axis, DOUBLE* position) {
  return PathGuard::Get(position, [&] { return Path().StartPoint(axis); });
}
HRESULT CVNXHost::put_StartPoint(INT axis, DOUBLE position) {
  return PathGuard::Do([&] { Path().SetStartPoint(axis, position); });
}
HRESULT CVNXHost::get_StartClock(LONG* clock) {
  return PathGuard::Get(clock, [&] { return Path().StartClock(); });
}
HRESULT CVNXHost::put_StartClock(LONG clock) {
  return PathGuard::Do([&] { Path().SetStartClock(clock); });
}
HRESULT CVNXHost::get_SlowToEndSpeed(boolean* slow) {
  return PathGuard::Get(slow, [&] { return static_cast<boolean>(Path().SlowToEndSpeed() ? 1 : 0); });
}
HRESULT CVNXHost::put_SlowToEndSpeed(boolean slow) {
  return PathGuard::Do([&] { Path().SetSlowToEndSpeed(slow != 0); });
}
HRESULT CVNXHost::SetupTimeDelta(LONG aveTimeDelta, VARIANT, VARIANT, VARIANT) {
  return PathGuard::Do([&] { Path().SetupTimeDelta(aveTimeDelta); });
}
HRESULT CVNXHost::get_StartSpeed(DOUBLE* speed) {
  return PathGuard::Get(speed, [&] { return Path().StartSpeed(); });
}
HRESULT CVNXHost::put_StartSpeed(DOUBLE speed) {
  return PathGuard::Do([&] { Path().SetStartSpeed(speed); });
}
HRESULT CVNXHost::get_TimeDelta(LONG* delta) {
  return PathGuard::Get(delta, [&] { return Path().TimeDelta(); });
}
HRESULT CVNXHost::put_TimeDelta(LONG delta) {
  return PathGuard::Do([&] { Path().SetTimeDelta(delta); });
}
HRESULT CVNXHost::get_Plane(LONG* plane) {
  return PathGuard::Get(plane, [&] { return Path().Plane(); });
}
HRESULT CVNXHost::put_Plane(LONG plane) {
  return PathGuard::Do([&] { Path().SetPlane(plane); });
}

HRESULT CVNXHost::GeneratePath(DOUBLE maxSpeed, DOUBLE totalLength, VARIANT* dataPairs) {
  return Deliver(dataPairs, [&]() -> const motion::PathTable& { return Path().GeneratePath(maxSpeed, totalLength); });
}
HRESULT CVNXHost::CreatePath(DOUBLE maxSpeed, DOUBLE totalLength, VARIANT* dataPairs) {
  return Deliver(dataPairs, [&]() -> const motion::PathTable& { return Path().CreatePath(maxSpeed, totalLength); });
}
HRESULT CVNXHost::GenerateLinePath(DOUBLE maxSpeed, VARIANT endpoint, VARIANT* dataPairs) {
  return Deliver(dataPairs, [&]() -> const motion::PathTable& {
    return Path().GenerateLinePath(maxSpeed, Coordinates(endpoint));
  });
}
HRESULT CVNXHost::CreateLinePath(DOUBLE maxSpeed, VARIANT endpoint, VARIANT* dataPairs) {
  return Deliver(dataPairs, [&]() -> const motion::PathTable& {
    return Path().CreateLinePath(maxSpeed, Coordinates(endpoint));
  });
}
HRESULT CVNXHost::GenerateArcPath(DOUBLE maxSpeed, VARIANT endpoint, VARIANT center, enum_arcdirection direction,
                                  VARIANT* dataPairs) {
  return Deliver(dataPairs, [&]() -> const motion::PathTable& {
    return Path().GenerateArcPath(maxSpeed, Coordinates(endpoint), Coordinates(center), direction == vnx_clockwise);
  });
}
HRESULT CVNXHost::CreateArcPath(DOUBLE maxSpeed, VARIANT endpoint, VARIANT center, enum_arcdirection direction,
                                VARIANT* dataPairs) {
  return Deliver(dataPairs, [&]() -> const motion::PathTable& {
    return Path().CreateArcPath(maxSpeed, Coordinates(endpoint), Coordinates(center), direction == vnx_clockwise);
  });
}

}  // namespace velkor::engine
