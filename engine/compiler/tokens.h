#pragma once
// The lines of a program and the classified tokens cut from them.

#include <cstdint>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

#include "engine/compiler/keyword_table.h"

namespace velkor::engine::compiler {

enum TokenClass : std::uint16_t {
  kDelimiterOrUnknown = 0,
  kKeyword = 0x001,
  kUserVariable = 0x002,
  kArrayName = 0x004,
  kReportKeyword = 0x008,
  kReportVariable = 0x010,
  kReportArray = 0x020,
  kNumber = 0x040,
  kStringLiteral = 0x200,
  kShortAssign = 0x400,
  kCommentText = 0x800,
};

// How the digits of a number or suffix compare with 32 bits: `value`
// saturates, and this keeps what the parser needs to tell -2147483648 from
// an overflow.
enum class Magnitude : std::uint8_t { Fits, TwoToThe31, Beyond };

inline constexpr std::uint32_t kNoToken = std::numeric_limits<std::uint32_t>::max();
inline constexpr std::uint16_t kNoEntry = std::numeric_limits<std::uint16_t>::max();

// One token in 32 bytes: a program has about one for every three characters,
// and every stage walks all of them. The text is found through the line
// (TokenizedProgram::TextOf), links are positions in the token array.
struct Token {
  std::uint32_t line = 0;    // position of the line in the program's line array
  std::int32_t column = 0;   // zero-based character offset in the line
  std::uint32_t length = 0;  // of the text
  // The number of a Number token or the decimal suffix of a word,
  // saturated at the largest int32; see `magnitude`.
  std::int32_t value = 0;
  std::uint32_t next = kNoToken;     // the next branch of a structure, or the label of a jump
  std::uint32_t partner = kNoToken;  // the backward or end link of a structure keyword
  std::uint16_t address = 0;         // offset in the image body
  std::uint16_t entryIndex = kNoEntry;
  std::uint16_t tokenClass = kDelimiterOrUnknown;
  char symbol = 0;  // of a delimiter, its (first) character; 0 for the other tokens
  Magnitude magnitude : 2 = Magnitude::Fits;
  bool hasSuffix : 1 = false;
  bool labelDefinition : 1 = false;  // C followed by a decimal suffix
  bool statementStart : 1 = false;
  bool lastInLine : 1 = false;
  bool apostrophe : 1 = false;  // the delimiter that starts a comment

  bool Is(std::uint32_t classBits) const { return (tokenClass & classBits) != 0; }
  bool IsApostrophe() const { return apostrophe; }
  bool IsDelimiter(char delimiter) const {
    return tokenClass == kDelimiterOrUnknown && entryIndex == kNoEntry && length == 1 && symbol == delimiter;
  }
  const KeywordEntry* Entry() const { return entryIndex == kNoEntry ? nullptr : &kKeywordEntries[entryIndex]; }
  // `entry` is one of KeywordTable() or null.
  void SetEntry(const KeywordEntry* entry) {
    entryIndex = entry ? static_cast<std::uint16_t>(entry - kKeywordEntries.data()) : kNoEntry;
  }
  // The magnitude the digits give, stopping at 2^32: enough to tell 2^31,
  // which a minus may precede, from anything larger.
  std::int64_t Wide() const {
    switch (magnitude) {
      case Magnitude::TwoToThe31: return std::int64_t{1} << 31;
      case Magnitude::Beyond: return std::int64_t{1} << 32;
      default: return value;
    }
  }
};
static_assert(sizeof(Token) == 32);

struct SourceLine {
  std::string_view text;  // without its line end
  std::uint32_t firstToken = 0;
  std::uint32_t tokenCount = 0;
  std::int32_t lineIndex = 0;

  // The text of one of the line's tokens, which lies inside it: no check.
  std::string_view TextOf(const Token& token) const {
    return std::string_view(text.data() + token.column, token.length);
  }
};

// A program cut into lines and tokens. Token links are positions in
// `tokens`, which does not change once tokenizing is done.
struct TokenizedProgram {
  std::vector<SourceLine> lines;
  std::vector<Token> tokens;
  std::vector<std::uint32_t> labels;  // label definitions (token positions) in program order
  bool labelListFull = false;         // a definition found no room in `labels`

  // Empties the program for the next run; the arrays keep their memory, so
  // that a compiler used again does not pay for it again.
  void Clear() {
    lines.clear();
    tokens.clear();
    labels.clear();
    labelListFull = false;
  }

  std::string_view TextOf(const Token& token) const {
    return lines[token.line].TextOf(token);
  }

  std::uint32_t PositionOf(const Token& token) const { return static_cast<std::uint32_t>(&token - tokens.data()); }
  std::uint32_t PositionOf(const Token* token) const { return token ? PositionOf(*token) : kNoToken; }
  const Token* Linked(std::uint32_t position) const { return position == kNoToken ? nullptr : &tokens[position]; }

  std::span<Token> TokensOf(const SourceLine& line) {
    return std::span<Token>(tokens).subspan(line.firstToken, line.tokenCount);
  }
  std::span<const Token> TokensOf(const SourceLine& line) const {
    return std::span<const Token>(tokens).subspan(line.firstToken, line.tokenCount);
  }
  // True when the line takes part in the program: it has tokens and does not
  // begin with an apostrophe.
  bool IsProgramLine(const SourceLine& line) const {
    return line.tokenCount > 0 && !tokens[line.firstToken].IsApostrophe();
  }
};

inline constexpr std::size_t kLabelCapacity = 1000;

}  // namespace velkor::engine::compiler
