#pragma once
// The first definition of every label number, so that a jump finds its
// label without walking the label list.

#include <array>
#include <cstdint>

#include "engine/compiler/tokens.h"

namespace velkor::engine::compiler {

class LabelIndex {
 public:
  // Indexes the program's label list; in its order, the first definition of
  // a number wins.
  explicit LabelIndex(const TokenizedProgram& program);

  // The token position of the first definition of `number`, or kNoToken.
  std::uint32_t FirstDefinition(std::int32_t number) const;

 private:
  struct Slot {
    std::int32_t number = 0;
    std::uint32_t position = kNoToken;  // kNoToken: the slot is free
  };
  // Open addressing at most half full: the label list holds at most
  // kLabelCapacity definitions.
  static constexpr int kSlotBits = 11;
  static constexpr std::size_t kSlotCount = std::size_t{1} << kSlotBits;
  static_assert(kSlotCount >= 2 * kLabelCapacity);

  static std::size_t SlotOf(std::int32_t number);
  static std::size_t NextSlot(std::size_t slot) { return (slot + 1) & (kSlotCount - 1); }

  std::array<Slot, kSlotCount> slots_{};
};

}  // namespace velkor::engine::compiler
