#include "engine/compiler/label_index.h"

namespace velkor::engine::compiler {

LabelIndex::LabelIndex(const TokenizedProgram& program) {
  for (std::uint32_t position : program.labels) {
    const std::int32_t number = program.tokens[position].value;
    std::size_t slot = SlotOf(number);
    while (slots_[slot].position != kNoToken && slots_[slot].number != number) slot = NextSlot(slot);
    if (slots_[slot].position == kNoToken) slots_[slot] = Slot{number, position};
  }
}

std::uint32_t LabelIndex::FirstDefinition(std::int32_t number) const {
  for (std::size_t slot = SlotOf(number);; slot = NextSlot(slot)) {
    if (slots_[slot].position == kNoToken) return kNoToken;
    if (slots_[slot].number == number) return slots_[slot].position;
  }
}

std::size_t LabelIndex::SlotOf(std::int32_t number) {
  // Fibonacci hashing: label numbers are often consecutive.
  return (static_cast<std::uint32_t>(number) * 0x9E3779B1u) >> (32 - kSlotBits);
}

}  // namespace velkor::engine::compiler
