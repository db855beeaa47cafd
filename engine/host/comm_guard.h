#pragma once
// The guard of every IVNXComm member.

#include "engine/core/guard.h"
#include "velkor/interfaces.h"

namespace velkor::engine {

using CommGuard = InterfaceGuard<IID_IVNXComm>;

}  // namespace velkor::engine
