#pragma once
// The steps that downloads and uploads share: putting the other motors of a
// serial line to sleep and waking them, and sends whose failure a forced
// download ignores.

#include <string_view>

#include "engine/core/errors.h"
#include "engine/link/host_link.h"
#include "engine/motor/motor_record.h"
#include "engine/motor/program_image.h"

namespace velkor::engine::transfer {

inline std::string_view SleepCommand(const HostLink& link) { return link.settings.rs485Channel == 1 ? "SLEEP1" : "SLEEP"; }
inline std::string_view WakeCommand(const HostLink& link) { return link.settings.rs485Channel == 1 ? "WAKE1" : "WAKE"; }

// Every motor listens again.
inline void WakeAll(HostLink& link) { link.SendCommand(WakeCommand(link), 0, false); }

// For the clean-up after a failure, which must not hide the failure itself.
template <class Step>
void Quietly(Step&& step) {
  try {
    step();
  } catch (const CVNXException&) {
  }
}

// With the force flag a failed send is ignored and the transfer goes on.
template <class Step>
void Tolerated(std::int32_t flags, Step&& step) {
  if (flags & kForce) {
    Quietly(step);
  } else {
    step();
  }
}

// Ends a load that may still be under way, whatever state the motors' echo
// is in, with `ending` (the abort sequence, or the end marker alone). A CR
// first ends a command line whose echo a fault cut short, so that the motors
// before this one on a chain pass bytes on again; to a loading motor it is
// one more byte of a program that the ending discards. Nothing waits for an
// echo; what comes back is drained. Throws only when the bytes cannot be
// written at all.
void EndLoad(HostLink& link, std::string_view ending);
void EndMotorLoad(MotorRecord& motor, std::string_view ending);

// The failure of a transfer whose clean-up failed as well: the motor may
// still take every byte as program. Same code, and a message that says so.
CVNXException StillLoading(const CVNXException& failure);

// Only this motor listens: "SLEEP" to all, "WAKE" to it (serial links).
inline void IsolateMotor(MotorRecord& motor, HostLink& link, std::int32_t flags) {
  Tolerated(flags, [&] { link.SendCommand(SleepCommand(link), 0, false); });
  Tolerated(flags, [&] { motor.MotorSendCommand(WakeCommand(link)); });
}

}  // namespace velkor::engine::transfer
