#pragma once
// Motor traffic is bytes; a string carries one byte per character, so that
// any byte value survives the way in and out.

#include <string>
#include <string_view>

#include "velkor/automation_types.h"

namespace velkor::engine {

// Error 19 for a character above 0xFF, which no byte can carry.
std::string BytesOf(BSTR text);
BSTR StringOf(std::string_view bytes);

}  // namespace velkor::engine
