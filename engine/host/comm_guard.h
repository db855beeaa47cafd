#pragma once
// The guard of every IVNXComm member.

#include <utility>

#include "engine/core/guard.h"
#include "velkor/interfaces.h"

namespace velkor::engine {

template <class Value, class Body>
HRESULT CommGet(Value* out, Body&& body) {
  return GuardedGet(IID_IVNXComm, out, std::forward<Body>(body));
}

template <class Body>
HRESULT CommDo(Body&& body) {
  return Guard(IID_IVNXComm, std::forward<Body>(body));
}

}  // namespace velkor::engine
