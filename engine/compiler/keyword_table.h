#pragma once
// The fixed vocabulary of the motor language: one entry per reserved word,
// with how it takes operands and what values it accepts.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "engine/compiler/keyword_lookup.h"

namespace velkor::engine::compiler {

// How a keyword takes its operands.
enum SyntaxClass : std::uint32_t {
  kParenParams = 0x001,        // KEY(p1,p2...)
  kCommaParams = 0x002,        // KEY,p1,p2...
  kIndexSuffix = 0x004,        // KEY12 or KEY-12
  kIndexSuffixParams = 0x008,  // KEY12,p2,p3...
  kCommand = 0x010,            // KEY alone
  kPrintList = 0x020,          // KEY(item,item...)
  kParameter = 0x100,          // a motor variable: read, assigned or reported
};

enum Access : std::uint32_t {
  kAssignable = 1,  // may stand left of '='
  kReportable = 2,  // may be reported with an 'R' prefix
  kReadable = 4,    // may stand as a term in an expression
};

// A kind code: the low six bits select what is accepted, bit 6 allows an
// expression where a literal would otherwise be required.
using KindCode = std::uint8_t;
inline constexpr KindCode kExpressionAllowed = 0x40;
inline constexpr KindCode KindOf(KindCode code) { return code & 0x3F; }

enum Kind : KindCode {
  kNothingChecked = 0,
  kHashNumber = 1,
  kString = 2,
  kAny32 = 22,
  kBitRate = 23,
  kOnlyEight = 24,
  kChannelType = 25,
  kParity = 26,
  kChannelSpec = 27,
  kUserVariableOperand = 28,
};

// The structure keywords that the image lowers to jump templates.
enum class Structure : std::uint8_t { None, If, ElseIf, Else, EndIf, Switch, Case, Default, EndSwitch, While, Loop, Break, End };

// What a keyword does with the label its suffix names.
enum class LabelRole : std::uint8_t { None, Definition, Goto, Gosub };

struct KeywordEntry {
  std::string_view name;
  std::uint32_t syntaxClass;
  std::uint32_t access;
  std::int32_t paramCount;  // negative: up to its absolute value
  // One kind per parameter; at index |paramCount| the kind of the value; for
  // the array entries the kind of the index after that.
  std::array<KindCode, 12> kinds;
  // Derived from the name when the table is built, so that the per-token
  // questions below need no name comparison.
  Structure structure = Structure::None;
  LabelRole labelRole = LabelRole::None;

  bool Has(Access bit) const { return (access & bit) != 0; }
  std::int32_t Parameters() const { return paramCount < 0 ? -paramCount : paramCount; }
  KindCode ValueKind() const { return kinds[static_cast<std::size_t>(Parameters())]; }
};

inline constexpr std::size_t kKeywordCount = 331;

// The table itself, visible so that tokens can name their entry by a small
// index and still reach it inline; read it through KeywordTable().
extern const std::array<KeywordEntry, kKeywordCount> kKeywordEntries;

// All 331 entries, the three internal ones (user variables and al, aw, ab)
// last.
std::span<const KeywordEntry> KeywordTable();

// The entry named exactly `name` (case-sensitive), or null. The internal
// entries have no name and are never found. No name starts with a digit.
inline const KeywordEntry* FindKeyword(std::string_view name) {
  namespace lookup = keyword_lookup;
  if (name.empty() || name.size() > lookup::kLongestName) return nullptr;
  if (!lookup::kStartsAName[static_cast<unsigned char>(name[0])]) return nullptr;
  for (std::size_t slot = lookup::Hash(name);; slot = lookup::NextSlot(slot)) {
    const std::uint16_t index = lookup::kSlots[slot];
    if (index == lookup::kEmptySlot) return nullptr;
    if (lookup::SameName(kKeywordEntries[index].name, name)) return &kKeywordEntries[index];
  }
}

// The internal entries.
inline const KeywordEntry& UserVariableEntry() { return kKeywordEntries[kKeywordCount - 3]; }  // also of al[]
inline const KeywordEntry& WordArrayEntry() { return kKeywordEntries[kKeywordCount - 2]; }     // aw[]
inline const KeywordEntry& ByteArrayEntry() { return kKeywordEntries[kKeywordCount - 1]; }     // ab[]

// The entry of an array name (ab, aw, al), or null.
inline const KeywordEntry* ArrayEntry(std::string_view name) {
  if (name.size() != 2 || name[0] != 'a') return nullptr;
  if (name[1] == 'l') return &UserVariableEntry();
  if (name[1] == 'w') return &WordArrayEntry();
  if (name[1] == 'b') return &ByteArrayEntry();
  return nullptr;
}

// a .. z, aa .. zz, aaa .. www.
inline bool IsUserVariable(std::string_view name) {
  if (name.empty() || name.size() > 3) return false;
  const char letter = name[0];
  if (letter < 'a' || letter > 'z') return false;
  for (char c : name) {
    if (c != letter) return false;
  }
  return name.size() < 3 || letter <= 'w';
}

inline Structure StructureOf(const KeywordEntry* entry) { return entry ? entry->structure : Structure::None; }

// True for GOTO and GOSUB, whose suffix names a label.
inline bool IsJump(const KeywordEntry* entry) {
  return entry && (entry->labelRole == LabelRole::Goto || entry->labelRole == LabelRole::Gosub);
}
inline bool IsLabelEntry(const KeywordEntry* entry) {  // C
  return entry && entry->labelRole == LabelRole::Definition;
}

}  // namespace velkor::engine::compiler
