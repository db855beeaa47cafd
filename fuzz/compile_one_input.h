#pragma once
// One input through the whole compiler, as plain text and as rich text,
// checking what must hold for any bytes: the compiler never throws but for
// want of memory, its diagnostics keep their limits, and an image, when
// there is one, decodes back to a body that matches its header and whose
// jumps land where their structures say.
//
// Shared by the fuzz target, which aborts on a violation, and by the
// regression test, which reports it.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velkor::fuzz {

struct InputReport {
  std::vector<std::string> violations;  // empty when every invariant held
  bool imageChecked = false;            // the plain text compiled without errors
};

InputReport CompileOneInput(std::span<const std::uint8_t> bytes);

}  // namespace velkor::fuzz
