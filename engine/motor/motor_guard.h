#pragma once
// The guard of every IVNXMotor member.

#include "engine/core/guard.h"
#include "velkor/interfaces.h"

namespace velkor::engine {

using MotorGuard = InterfaceGuard<IID_IVNXMotor>;

}  // namespace velkor::engine
