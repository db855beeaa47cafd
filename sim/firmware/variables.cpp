#include "sim/firmware/variables.h"

#include <charconv>

namespace velkor::sim {
namespace {

bool IsLower(char c) { return c >= 'a' && c <= 'z'; }

std::optional<VarRef> ParseElement(std::string_view name) {
  // "al[12]": two letters, '[', decimal index, ']'
  if (name.size() < 5 || name[2] != '[' || name.back() != ']') return std::nullopt;
  VarKind kind;
  if (name.substr(0, 2) == "al") {
    kind = VarKind::Long;
  } else if (name.substr(0, 2) == "aw") {
    kind = VarKind::Word;
  } else if (name.substr(0, 2) == "ab") {
    kind = VarKind::Byte;
  } else {
    return std::nullopt;
  }
  std::string_view digits = name.substr(3, name.size() - 4);
  int index = -1;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
  if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
  if (index < 0 || index >= Variables::Count(kind)) return std::nullopt;
  return VarRef{kind, index};
}

}  // namespace

std::optional<VarRef> Variables::Parse(std::string_view name) {
  if (name.empty() || !IsLower(name[0])) return std::nullopt;
  if (name.find('[') != std::string_view::npos) return ParseElement(name);
  int letter = name[0] - 'a';
  for (char c : name) {
    if (c != name[0]) return std::nullopt;
  }
  switch (name.size()) {
    case 1: return VarRef{VarKind::Single, letter};
    case 2: return VarRef{VarKind::Long, letter};
    case 3: return VarRef{VarKind::Long, 26 + letter};
    default: return std::nullopt;
  }
}

int Variables::Width(VarKind kind) {
  switch (kind) {
    case VarKind::Word: return 2;
    case VarKind::Byte: return 1;
    default: return 4;
  }
}

int Variables::Count(VarKind kind) {
  switch (kind) {
    case VarKind::Single: return 26;
    case VarKind::Long: return kLongCount;
    case VarKind::Word: return kLongCount * 2;
    case VarKind::Byte: return kLongCount * 4;
  }
  return 0;
}

std::optional<VarRef> Variables::Advance(VarRef ref, int offset) {
  int index = ref.index + offset;
  if (offset < 0 || index >= Count(ref.kind)) return std::nullopt;
  return VarRef{ref.kind, index};
}

std::int32_t Variables::Get(VarRef ref) const {
  switch (ref.kind) {
    case VarKind::Single: return single_[ref.index];
    case VarKind::Long: return longs_[ref.index];
    case VarKind::Word: {
      auto bits = static_cast<std::uint32_t>(longs_[ref.index / 2]);
      int shift = (ref.index % 2 == 0) ? 16 : 0;
      return static_cast<std::int16_t>(static_cast<std::uint16_t>(bits >> shift));
    }
    case VarKind::Byte: {
      auto bits = static_cast<std::uint32_t>(longs_[ref.index / 4]);
      int shift = (3 - ref.index % 4) * 8;
      return static_cast<std::int8_t>(static_cast<std::uint8_t>(bits >> shift));
    }
  }
  return 0;
}

void Variables::Set(VarRef ref, std::int32_t value) {
  switch (ref.kind) {
    case VarKind::Single: single_[ref.index] = value; return;
    case VarKind::Long: longs_[ref.index] = value; return;
    case VarKind::Word: {
      auto& slot = longs_[ref.index / 2];
      int shift = (ref.index % 2 == 0) ? 16 : 0;
      std::uint32_t bits = static_cast<std::uint32_t>(slot) & ~(0xFFFFu << shift);
      bits |= (static_cast<std::uint32_t>(value) & 0xFFFFu) << shift;
      slot = static_cast<std::int32_t>(bits);
      return;
    }
    case VarKind::Byte: {
      auto& slot = longs_[ref.index / 4];
      int shift = (3 - ref.index % 4) * 8;
      std::uint32_t bits = static_cast<std::uint32_t>(slot) & ~(0xFFu << shift);
      bits |= (static_cast<std::uint32_t>(value) & 0xFFu) << shift;
      slot = static_cast<std::int32_t>(bits);
      return;
    }
  }
}

}  // namespace velkor::sim
