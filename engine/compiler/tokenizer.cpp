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
  constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
  token.value = wide > kLargest ? static_cast<std::int32_t>(kLargest) : static_cast<std::int32_t>(wide);
  token.magnitude = wide <= kLargest ? Magnitude::Fits : wide == kLargest + 1 ? Magnitude::TwoToThe31 : Magnitude::Beyond;
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

bool TakesIndexSuffix(const KeywordEntry* entry) {
  return entry && (entry->syntaxClass & (kIndexSuffix | kIndexSuffixParams)) != 0;
}

void SetClass(Token& token, std::uint16_t tokenClass, const KeywordEntry* entry) {
  token.tokenClass = tokenClass;
  token.SetEntry(entry);
}

// The report forms of a word that starts with R: Ra, Rab, RP, RDINA5.
bool ClassifyReport(std::string_view word, Token& token) {
  const std::string_view rest = word.substr(1);
  if (IsUserVariable(rest)) {
    SetClass(token, kReportVariable, &UserVariableEntry());
    return true;
  }
  if (const KeywordEntry* array = ArrayEntry(rest)) {
    SetClass(token, kReportArray, array);
    return true;
  }
  if (const KeywordEntry* entry = FindKeyword(rest); entry && entry->Has(kReportable)) {
    SetClass(token, kReportKeyword, entry);
    return true;
  }
  const std::size_t suffix = SuffixStart(rest);
  if (suffix != std::string_view::npos) {
    if (const KeywordEntry* entry = FindKeyword(rest.substr(0, suffix));
        TakesIndexSuffix(entry) && entry->Has(kReportable)) {
      SetClass(token, kReportKeyword, entry);
      return true;
    }
  }
  return false;
}

// ClassifyWord, kept here so that the cutter inlines it.
void Classify(std::string_view word, Token& token) {
  // No keyword, variable or array name starts with a digit: such a word is
  // a number or unknown.
  const bool startsWithDigit = !word.empty() && IsDigit(word[0]);
  if (startsWithDigit && AllDigits(word)) {
    token.tokenClass = kNumber;
    token.hasSuffix = word.size() > 1;  // the digits after the first, as for any word
    SetValue(token, DecimalValue(word));
    return;
  }
  const std::size_t suffix = SuffixStart(word);
  if (suffix != std::string_view::npos) {
    token.hasSuffix = true;
    SetValue(token, DecimalValue(word.substr(suffix)));
  }
  if (startsWithDigit) return;
  token.labelDefinition = token.hasSuffix && word[0] == 'C' && IsDigit(word[1]);
  if (const KeywordEntry* entry = FindKeyword(word)) {
    SetClass(token, kKeyword, entry);
    return;
  }
  // Looked up once: the stem is both an index-suffix keyword (DINA5) and the
  // target of a short assignment (A100).
  const KeywordEntry* stemEntry = token.hasSuffix ? FindKeyword(word.substr(0, suffix)) : nullptr;
  if (TakesIndexSuffix(stemEntry)) {
    SetClass(token, kKeyword, stemEntry);
    return;
  }
  if (IsUserVariable(word)) {
    SetClass(token, kUserVariable, &UserVariableEntry());
    return;
  }
  if (const KeywordEntry* array = ArrayEntry(word)) {
    SetClass(token, kArrayName, array);
    return;
  }
  if (word.size() > 1 && word[0] == 'R' && ClassifyReport(word, token)) return;
  // Short assignment (A100, BAUD9600, a5) needs a whole decimal suffix;
  // A1x is an unknown word, not A1.
  if (token.hasSuffix) {
    const KeywordEntry* entry = IsUserVariable(word.substr(0, suffix)) ? &UserVariableEntry() : stemEntry;
    if (entry && (entry == &UserVariableEntry() || entry->Has(kAssignable))) SetClass(token, kShortAssign, entry);
  }
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
    if (line.tokenCount > 0) program_.tokens.back().lastInLine = true;
  }

 private:
  // Everything called per token is inlined here (flatten): growing the
  // token array would otherwise be a call for every token.
  [[gnu::flatten]] void Cut() {
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
      AddDelimiter(delimiter, length);
      if (c == '"') {
        const std::size_t closing = text_.find('"', position);
        if (closing == std::string_view::npos) {
          // An unclosed string runs to the end of the line; the parser says so.
          Add(position, end - position, kStringLiteral);
          return;
        }
        Add(position, closing - position, kStringLiteral);
        AddDelimiter(closing, 1);
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

  Token& Add(std::size_t offset, std::size_t length, std::uint16_t tokenClass) {
    Token& token = program_.tokens.emplace_back();
    token.line = lineNumber_;
    token.column = static_cast<std::int32_t>(offset);
    token.length = static_cast<std::uint32_t>(length);
    token.tokenClass = tokenClass;
    return token;
  }

  void AddDelimiter(std::size_t offset, std::size_t length) {
    Token& token = Add(offset, length, kDelimiterOrUnknown);
    token.symbol = text_[offset];
    token.apostrophe = token.symbol == '\'';
  }

  void AddWord(std::size_t offset, std::size_t length) {
    Token& token = Add(offset, length, kDelimiterOrUnknown);
    Classify(std::string_view(text_.data() + offset, length), token);
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
  program.lines.clear();
  const auto addLine = [&](std::string_view line) {
    program.lines.push_back(SourceLine{line, 0, 0, static_cast<std::int32_t>(program.lines.size())});
  };
  // Most texts have no carriage return at all; then no line is searched for
  // one.
  const bool hasCarriageReturns = text.find('\r') != std::string_view::npos;
  // Every piece between line feeds keeps its index, empty ones included, so
  // that diagnostics name the line an editor shows.
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t lineFeed = text.find('\n', start);
    if (lineFeed == std::string_view::npos) lineFeed = text.size();
    std::string_view line = text.substr(start, lineFeed - start);
    if (hasCarriageReturns) line = line.substr(0, line.find('\r'));
    addLine(line);
    start = lineFeed + 1;
  }
  // The line after the last line feed (after the last piece when the text
  // does not end in one), and for an empty text one more.
  addLine({});
  if (text.empty()) addLine({});
}

void TokenizeLine(std::uint32_t lineNumber, TokenizedProgram& program) { LineCutter(lineNumber, program).Run(); }

void ClassifyWord(std::string_view word, Token& token) { Classify(word, token); }

}  // namespace velkor::engine::compiler
