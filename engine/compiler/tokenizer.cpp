#include "engine/compiler/tokenizer.h"

#include <array>
#include <limits>

namespace velkor::engine::compiler {
namespace {

constexpr std::string_view kDelimiters = " \t()[]#,\"=+-/*><!'~&|";

constexpr std::array<bool, 256> MakeDelimiterSet() {
  std::array<bool, 256> set{};
  for (char c : kDelimiters) set[static_cast<unsigned char>(c)] = true;
  return set;
}
constexpr std::array<bool, 256> kIsDelimiter = MakeDelimiterSet();

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Digits beyond 32 bits saturate at 2^32, which is enough for the parser to
// report the overflow; no arithmetic ever overflows here.
std::int64_t DecimalValue(std::string_view digits) {
  constexpr std::int64_t kCeiling = std::int64_t{1} << 32;
  std::int64_t value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value >= kCeiling) return kCeiling;
  }
  return value;
}

void SetValue(Token& token, std::int64_t wide) {
  token.wide = wide;
  token.value = wide > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                                 : static_cast<std::int32_t>(wide);
}

// Where the decimal suffix of a word begins: the first digit after the first
// character, when only digits follow it; npos otherwise.
std::size_t SuffixStart(std::string_view word) {
  for (std::size_t i = 1; i < word.size(); ++i) {
    if (IsDigit(word[i])) {
      for (std::size_t j = i; j < word.size(); ++j) {
        if (!IsDigit(word[j])) return std::string_view::npos;
      }
      return i;
    }
  }
  return std::string_view::npos;
}

bool AllDigits(std::string_view word) {
  if (word.empty()) return false;
  for (char c : word) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

const KeywordEntry* FindSuffixKeyword(std::string_view stem, bool reportableOnly) {
  const KeywordEntry* entry = FindKeyword(stem);
  if (!entry || (entry->syntaxClass & (kIndexSuffix | kIndexSuffixParams)) == 0) return nullptr;
  if (reportableOnly && !entry->Has(kReportable)) return nullptr;
  return entry;
}

// The report forms of a word that starts with R: Ra, Rab, RP, RDINA5.
bool ClassifyReport(Token& token) {
  const std::string_view rest = token.text.substr(1);
  if (IsUserVariable(rest)) {
    token.tokenClass = kReportVariable;
    token.entry = &UserVariableEntry();
    return true;
  }
  if (const KeywordEntry* array = ArrayEntry(rest)) {
    token.tokenClass = kReportArray;
    token.entry = array;
    return true;
  }
  if (const KeywordEntry* entry = FindKeyword(rest); entry && entry->Has(kReportable)) {
    token.tokenClass = kReportKeyword;
    token.entry = entry;
    return true;
  }
  const std::size_t suffix = SuffixStart(rest);
  if (suffix != std::string_view::npos) {
    if (const KeywordEntry* entry = FindSuffixKeyword(rest.substr(0, suffix), true)) {
      token.tokenClass = kReportKeyword;
      token.entry = entry;
      return true;
    }
  }
  return false;
}

class LineCutter {
 public:
  LineCutter(std::uint32_t lineNumber, TokenizedProgram& program)
      : lineNumber_(lineNumber), program_(program), text_(program.lines[lineNumber].text) {}

  void Run() {
    SourceLine& line = program_.lines[lineNumber_];
    line.firstToken = static_cast<std::uint32_t>(program_.tokens.size());
    Cut();
    line.tokenCount = static_cast<std::uint32_t>(program_.tokens.size()) - line.firstToken;
  }

 private:
  void Cut() {
    std::size_t position = 0;
    const std::size_t end = text_.size();
    while (position < end) {
      std::size_t delimiter = position;
      while (delimiter < end && !kIsDelimiter[static_cast<unsigned char>(text_[delimiter])]) ++delimiter;
      if (delimiter > position) AddWord(position, delimiter - position);
      if (delimiter == end) return;

      const char c = text_[delimiter];
      position = delimiter + 1;
      if (IsBlank(c)) {
        SkipBlanks(position);
        continue;
      }
      const bool followedByEquals = position < end && text_[position] == '=';
      if (c == '!' && !followedByEquals) {
        AddWord(delimiter, 1);
        SkipBlanks(position);
        continue;
      }
      std::size_t length = 1;
      if (followedByEquals && (c == '>' || c == '<' || c == '!' || c == '=')) {
        length = 2;
        ++position;
      }
      Add(delimiter, length, kDelimiterOrUnknown);
      if (c == '"') {
        const std::size_t closing = text_.find('"', position);
        if (closing == std::string_view::npos) {
          // An unclosed string runs to the end of the line; the parser says so.
          Add(position, end - position, kStringLiteral);
          return;
        }
        Add(position, closing - position, kStringLiteral);
        Add(closing, 1, kDelimiterOrUnknown);
        position = closing + 1;
      } else if (c == '\'') {
        if (position < end) Add(position, end - position, kCommentText);
        return;
      }
      SkipBlanks(position);
    }
  }

  void SkipBlanks(std::size_t& position) const {
    while (position < text_.size() && IsBlank(text_[position])) ++position;
  }

  Token& Add(std::size_t offset, std::size_t length, std::uint32_t tokenClass) {
    Token& token = program_.tokens.emplace_back();
    token.text = text_.substr(offset, length);
    token.tokenClass = tokenClass;
    token.line = lineNumber_;
    token.indexInLine = static_cast<std::uint32_t>(program_.tokens.size() - 1 - program_.lines[lineNumber_].firstToken);
    token.column = static_cast<std::int32_t>(offset);
    return token;
  }

  void AddWord(std::size_t offset, std::size_t length) {
    Token& token = Add(offset, length, kDelimiterOrUnknown);
    ClassifyWord(token);
    if (!IsLabelDefinition(token)) return;
    if (program_.labels.size() < kLabelCapacity) {
      program_.labels.push_back(static_cast<std::uint32_t>(program_.tokens.size() - 1));
    } else {
      program_.labelListFull = true;
    }
  }

  std::uint32_t lineNumber_;
  TokenizedProgram& program_;
  std::string_view text_;
};

}  // namespace

void SplitLines(std::string_view text, TokenizedProgram& program) {
  std::size_t lineFeeds = 0;
  for (char c : text) lineFeeds += c == '\n';
  const bool endsInLineFeed = !text.empty() && text.back() == '\n';
  const std::size_t lineCount = lineFeeds + 1 + (endsInLineFeed ? 0 : 1);
  program.lines.assign(lineCount, SourceLine{});

  // Every piece between line feeds keeps its index, empty ones included, so
  // that diagnostics name the line an editor shows.
  std::size_t piece = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t lineFeed = text.find('\n', start);
    if (lineFeed == std::string_view::npos) lineFeed = text.size();
    std::string_view line = text.substr(start, lineFeed - start);
    if (std::size_t carriageReturn = line.find('\r'); carriageReturn != std::string_view::npos) {
      line = line.substr(0, carriageReturn);
    }
    program.lines[piece].text = line;
    program.lines[piece].lineIndex = static_cast<std::int32_t>(piece);
    ++piece;
    start = lineFeed + 1;
  }
  program.lines.back().lineIndex = static_cast<std::int32_t>(lineCount - 1);
}

void TokenizeLine(std::uint32_t lineNumber, TokenizedProgram& program) { LineCutter(lineNumber, program).Run(); }

void ClassifyWord(Token& token) {
  const std::string_view word = token.text;
  const std::size_t suffix = SuffixStart(word);
  if (suffix != std::string_view::npos) {
    token.hasSuffix = true;
    SetValue(token, DecimalValue(word.substr(suffix)));
  }
  if (const KeywordEntry* entry = FindKeyword(word)) {
    token.tokenClass = kKeyword;
    token.entry = entry;
    return;
  }
  if (token.hasSuffix) {
    if (const KeywordEntry* entry = FindSuffixKeyword(word.substr(0, suffix), false)) {
      token.tokenClass = kKeyword;
      token.entry = entry;
      return;
    }
  }
  if (IsUserVariable(word)) {
    token.tokenClass = kUserVariable;
    token.entry = &UserVariableEntry();
    return;
  }
  if (const KeywordEntry* array = ArrayEntry(word)) {
    token.tokenClass = kArrayName;
    token.entry = array;
    return;
  }
  if (AllDigits(word)) {
    token.tokenClass = kNumber;
    SetValue(token, DecimalValue(word));
    return;
  }
  if (word.size() > 1 && word[0] == 'R' && ClassifyReport(token)) return;
  // Short assignment (A100, BAUD9600, a5) needs a whole decimal suffix;
  // A1x is an unknown word, not A1.
  if (token.hasSuffix) {
    const std::string_view stem = word.substr(0, suffix);
    const KeywordEntry* entry = IsUserVariable(stem) ? &UserVariableEntry() : FindKeyword(stem);
    if (entry && (entry == &UserVariableEntry() || entry->Has(kAssignable))) {
      token.tokenClass = kShortAssign;
      token.entry = entry;
      return;
    }
  }
}

bool IsLabelDefinition(const Token& token) {
  return token.hasSuffix && token.text.size() >= 2 && token.text[0] == 'C' && IsDigit(token.text[1]);
}

}  // namespace velkor::engine::compiler
