#pragma once
// The guard of every IVNXMotor member.

#include <utility>

#include "engine/core/guard.h"
#include "velkor/interfaces.h"

namespace velkor::engine {

template <class Value, class Body>
HRESULT MotorGet(Value* out, Body&& body) {
  return GuardedGet(IID_IVNXMotor, out, std::forward<Body>(body));
}

template <class Body>
HRESULT MotorDo(Body&& body) {
  return Guard(IID_IVNXMotor, std::forward<Body>(body));
}

}  // namespace velkor::engine
