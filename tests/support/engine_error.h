#pragma once
// Tests of engine internals: the code of the engine error a call raises.

#include <cstdint>

#include "engine/core/errors.h"

namespace velkor::testing {

// 0 when `action` raises none.
template <class Action>
std::uint32_t ErrorCodeOf(Action&& action) {
  try {
    action();
  } catch (const engine::CVNXException& exception) {
    return exception.Code();
  }
  return 0;
}

}  // namespace velkor::testing
