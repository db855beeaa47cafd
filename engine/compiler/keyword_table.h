#pragma once
// The fixed vocabulary of the motor language: one entry per reserved word,
// with how it takes operands and what values it accepts.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

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

struct KeywordEntry {
  std::string_view name;
  std::uint32_t syntaxClass;
  std::uint32_t access;
  std::int32_t paramCount;  // negative: up to its absolute value
  // One kind per parameter; at index |paramCount| the kind of the value; for
  // the array entries the kind of the index after that.
  std::array<KindCode, 12> kinds;

  bool Has(Access bit) const { return (access & bit) != 0; }
  std::int32_t Parameters() const { return paramCount < 0 ? -paramCount : paramCount; }
  KindCode ValueKind() const { return kinds[static_cast<std::size_t>(Parameters())]; }
};

// All 331 entries, the three internal ones (user variables and al, aw, ab)
// last.
std::span<const KeywordEntry> KeywordTable();

// The entry named exactly `name` (case-sensitive), or null. The internal
// entries have no name and are never found.
const KeywordEntry* FindKeyword(std::string_view name);

// The internal entries.
const KeywordEntry& UserVariableEntry();  // also the entry of al[]
const KeywordEntry& WordArrayEntry();     // aw[]
const KeywordEntry& ByteArrayEntry();     // ab[]

// The entry of an array name (ab, aw, al), or null.
const KeywordEntry* ArrayEntry(std::string_view name);

// a .. z, aa .. zz, aaa .. www.
bool IsUserVariable(std::string_view name);

// The structure keywords that the image lowers to jump templates.
enum class Structure { None, If, ElseIf, Else, EndIf, Switch, Case, Default, EndSwitch, While, Loop, Break, End };
Structure StructureOf(const KeywordEntry* entry);

// True for GOTO and GOSUB, whose suffix names a label.
bool IsJump(const KeywordEntry* entry);
bool IsLabelEntry(const KeywordEntry* entry);  // C

}  // namespace velkor::engine::compiler
