// IVNXCMotion: host-mode streaming to the first motors of the link.

#include "engine/host/host_object.h"

namespace velkor::engine {

namespace {
using MotionGuard = InterfaceGuard<IID_IVNXCMotion>;
}  // namespace

motion::HostMotion& CVNXHost::Motion() {
  if (!motion_) motion_ = std::make_unique<motion::HostMotion>(link_);
  return *motion_;
}

HRESULT CVNXHost::Initialize(LONG motorCount) {
  return MotionGuard::Do([&] { Motion().Initialize(motorCount, static_cast<std::int32_t>(motors_.Size())); });
}
HRESULT CVNXHost::WritePosition(LONG motor, LONG position) {
  return MotionGuard::Do([&] { Motion().WritePosition(motor, position); });
}
HRESULT CVNXHost::WriteClock(LONG motor, LONG clock) {
  return MotionGuard::Do([&] { Motion().WriteClock(motor, clock); });
}
HRESULT CVNXHost::get_SlotsNeeded(LONG motor, LONG* slots) {
  return MotionGuard::Get(slots, [&] { return Motion().SlotsNeeded(motor); });
}
HRESULT CVNXHost::get_CurrentClock(LONG motor, LONG* clock) {
  return MotionGuard::Get(clock, [&] { return Motion().CurrentClock(motor); });
}
HRESULT CVNXHost::CheckStatus(LONG motor, LONG* freeSlots) {
  return MotionGuard::Get(freeSlots, [&] {
    motion::HostMotion& motion = Motion();
    if (!motion.Initialized()) throw CVNXException(ErrorCode::HostModeNotInitialized);
    return motion.CheckStatus(motor);
  });
}
HRESULT CVNXHost::get_TrajectorySlots(LONG* slots) {
  return MotionGuard::Get(slots, [&] { return Motion().trajectorySlots; });
}
HRESULT CVNXHost::put_TrajectorySlots(LONG slots) {
  return MotionGuard::Do([&] { Motion().trajectorySlots = slots; });
}
HRESULT CVNXHost::get_Buffered(boolean* buffered) {
  return MotionGuard::Get(buffered, [] { return boolean{1}; });
}
HRESULT CVNXHost::put_Buffered(boolean) {
  return MotionGuard::Do([] {});
}
HRESULT CVNXHost::get_SampleRate(LONG, DOUBLE* rate) {
  return MotionGuard::Get(rate, [&] { return Motion().SampleRate(); });
}
HRESULT CVNXHost::get_PIDFactor(LONG* factor) {
  return MotionGuard::Get(factor, [&] { return Motion().PidFactor(); });
}
HRESULT CVNXHost::put_PIDFactor(LONG factor) {
  return MotionGuard::Do([&] { Motion().SetPidFactor(factor); });
}
HRESULT CVNXHost::EndHostMode() {
  return MotionGuard::Do([&] { Motion().EndHostMode(); });
}
HRESULT CVNXHost::Run() {
  return MotionGuard::Do([&] { Motion().Run(); });
}
HRESULT CVNXHost::SyncMotors() {
  return MotionGuard::Do([&] { Motion().SyncMotors(); });
}

}  // namespace velkor::engine
