#pragma once
// The lines of a program and the classified tokens cut from them.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "engine/compiler/keyword_table.h"

namespace velkor::engine::compiler {

enum TokenClass : std::uint32_t {
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

struct Token {
  std::string_view text;  // a view into the compiled text, which the context owns
  const KeywordEntry* entry = nullptr;
  Token* next = nullptr;     // the next branch of a structure, or the label of a jump
  Token* partner = nullptr;  // the backward or end link of a structure keyword
  // The number of a Number token or the decimal suffix of a word. Digits
  // beyond 32 bits saturate it; `wide` holds the value up to 2^32 so that
  // the parser can tell -2147483648 from an overflow.
  std::int32_t value = 0;
  std::int64_t wide = 0;
  std::uint32_t tokenClass = kDelimiterOrUnknown;
  std::uint32_t line = 0;  // position of the line in the context's line array
  std::uint32_t indexInLine = 0;
  std::int32_t column = 0;  // zero-based character offset in the line
  std::uint16_t address = 0;  // offset in the image body
  bool hasSuffix = false;
  bool statementStart = false;

  bool Is(std::uint32_t classBits) const { return (tokenClass & classBits) != 0; }
  bool IsDelimiter(std::string_view delimiter) const {
    return tokenClass == kDelimiterOrUnknown && !entry && text == delimiter;
  }
  bool IsApostrophe() const { return tokenClass == kDelimiterOrUnknown && text == "'"; }
};

struct SourceLine {
  std::string_view text;  // without its line end
  std::uint32_t firstToken = 0;
  std::uint32_t tokenCount = 0;
  std::int32_t lineIndex = 0;
};

// A program cut into lines and tokens. Token links point into `tokens`, which
// does not change once tokenizing is done.
struct TokenizedProgram {
  std::vector<SourceLine> lines;
  std::vector<Token> tokens;
  std::vector<std::uint32_t> labels;  // label definitions (token positions) in program order
  bool labelListFull = false;         // a definition found no room in `labels`

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
