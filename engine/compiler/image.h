#pragma once
// The compiled program image: a header, the label table and the body as the
// motor stores it, with structure keywords and jumps lowered to templates
// that carry absolute body addresses.

#include <cstdint>
#include <string>

#include "engine/compiler/tokens.h"

namespace velkor::engine::compiler {

struct ImageLayout {
  std::int32_t bodyChecksum = 0;   // sum of the body bytes taken as signed
  std::uint32_t bodyLength = 0;
  std::uint32_t labelChecksum = 0;
  std::uint32_t labelSlots = 4;
};

// Gives every token its body address and computes the header fields.
ImageLayout AssignAddresses(TokenizedProgram& program);

// The whole image. Call only after AssignAddresses on a program that parsed
// without errors.
std::string RenderImage(const TokenizedProgram& program, const ImageLayout& layout);

inline constexpr int kImageVersion = 4000;

}  // namespace velkor::engine::compiler
