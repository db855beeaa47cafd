#pragma once
// The whole of one axis's settings, printed for a reader.

#include <cstdio>

#include "setup/model/axis_settings.h"

namespace velkor::client {

void PrintSettings(const setup::AxisSettings& settings, std::FILE* out);

}  // namespace velkor::client
