#pragma once
// The motor's user variables: a..z on their own, and aa..zz, aaa..zzz overlaid
// by the long array al[], the word array aw[] and the byte array ab[]. The
// overlays are big-endian: aw[2k] is the high half of al[k], ab[4k] its most
// significant byte, so that a long stored to memory keeps its bytes in the
// order the arrays name them.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velkor::sim {

enum class VarKind { Single, Long, Word, Byte };

struct VarRef {
  VarKind kind;
  int index;  // a..z: 0..25; al: 0..51; aw: 0..103; ab: 0..207
  bool operator==(const VarRef&) const = default;
};

class Variables {
 public:
  static constexpr int kLongCount = 52;

  // "a", "dd", "aaa", "al[3]", "aw[7]", "ab[0]"; nothing for other text.
  static std::optional<VarRef> Parse(std::string_view name);
  static int Width(VarKind kind);  // bytes per element
  static int Count(VarKind kind);  // elements of that kind
  // The element `offset` places after `ref` in its own kind, if there is one.
  static std::optional<VarRef> Advance(VarRef ref, int offset);

  // Words and bytes read sign-extended; writes keep the low bits.
  std::int32_t Get(VarRef ref) const;
  void Set(VarRef ref, std::int32_t value);

 private:
  std::array<std::int32_t, 26> single_{};
  std::array<std::int32_t, kLongCount> longs_{};
};

}  // namespace velkor::sim
