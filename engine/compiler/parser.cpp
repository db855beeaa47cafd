#include "engine/compiler/parser.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "engine/compiler/label_index.h"

namespace velkor::engine::compiler {
namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// The values an expression can take; Low = High is a constant. Kept in 64
// bits so that negating and folding 32-bit constants cannot overflow.
struct Range {
  std::int64_t low = 0;
  std::int64_t high = 0;

  bool IsConstant() const { return low == high; }
  Range Negated() const { return {-high, -low}; }
};
constexpr Range kFullRange{kInt32Min, kInt32Max};

Range RangeOfKind(KindCode code) {
  static constexpr std::array<Range, 30> kRanges = {{
      kFullRange, kFullRange, kFullRange,  // nothing checked, '#' number, string
      {0, 1},  {0, 2},   {1, 4},    {0, 15},  {0, 50},  {0, 63},  {0, 101}, {2, 100},
      {0, 120}, {0, 127}, {0, 203}, {-128, 127}, {0, 255}, {0, 999}, {0, 1023},
      {0, 32767}, {-32768, 32767}, {0, 65535}, {0, kInt32Max}, kFullRange,
      {2400, 38400}, {8, 8},
      kFullRange, kFullRange, kFullRange, kFullRange,  // the word and variable kinds
      {0, 16777215},
  }};
  const KindCode kind = KindOf(code);
  return kind < kRanges.size() ? kRanges[kind] : kFullRange;
}

bool IsRangeChecked(KindCode code) {
  const KindCode kind = KindOf(code);
  return (kind >= 3 && kind <= 24) || kind == 29;
}

bool IsBitRate(std::int64_t value) {
  return value == 2400 || value == 4800 || value == 9600 || value == 19200 || value == 38400;
}

bool IsOperator(const TokenizedProgram& program, const Token* token) {
  if (!token || token->tokenClass != kDelimiterOrUnknown || token->Entry()) return false;
  if (token->length == 1) return std::string_view("+-*/<>&|").find(token->symbol) != std::string_view::npos;
  const std::string_view text = program.TextOf(*token);
  return text == ">=" || text == "<=" || text == "==" || text == "!=";
}

// A statement-level error: it ends the statement, and parsing resumes at the
// next line.
struct StatementError {
  std::int32_t code;
  const Token* at;  // null at the end of the program
};

// The nesting of IF, WHILE and SWITCH, each with the branch token that still
// waits for its forward link.
class NestingStack {
 public:
  static constexpr int kDepth = 50;
  struct Level {
    Token* opener = nullptr;
    Token* pending = nullptr;
  };

  bool Full() const { return depth_ == kDepth; }
  bool Empty() const { return depth_ == 0; }
  void Push(Token* opener) { levels_[depth_++] = Level{opener, opener}; }
  Level& Top() { return levels_[depth_ - 1]; }
  Level Pop() { return levels_[--depth_]; }
  // The innermost open structure of this kind, or null.
  Token* Innermost(Structure structure) const {
    for (int level = depth_ - 1; level >= 0; --level) {
      if (StructureOf(levels_[level].opener->Entry()) == structure) return levels_[level].opener;
    }
    return nullptr;
  }

 private:
  std::array<Level, kDepth> levels_{};
  int depth_ = 0;
};

enum class Mode { Statement, Report, Term };

class Parser {
 public:
  Parser(TokenizedProgram& program, ErrorList& errors) : program_(program), errors_(errors), labels_(program) {}

  void Run() {
    current_ = FirstTokenFrom(0, false);
    while (current_) {
      try {
        Statement();
      } catch (const StatementError& error) {
        Record(error.code, error.at);
        if (error.code == kTooDeeplyNested) return;  // nothing after it is checked
        current_ = error.at ? FirstTokenFrom(error.at->line + 1, true) : nullptr;
      }
      if (errors_.Full()) return;  // a limit was reached: no end-of-program checks
    }
    while (!nesting_.Empty()) RecordUnclosed(nesting_.Pop().opener);
    if (!endSeen_) errors_.Add(kEndExpected, EndLine(), 0);
  }

 private:
  // ---- Stepping -----------------------------------------------------------

  // The first token of the first line at or after `lineNumber` that has
  // tokens; with `programLinesOnly`, of one that does not begin with an
  // apostrophe.
  Token* FirstTokenFrom(std::uint32_t lineNumber, bool programLinesOnly) {
    for (std::uint32_t line = lineNumber; line < program_.lines.size(); ++line) {
      const SourceLine& source = program_.lines[line];
      if (source.tokenCount == 0) continue;
      if (programLinesOnly && !program_.IsProgramLine(source)) continue;
      return &program_.tokens[source.firstToken];
    }
    return nullptr;
  }

  void Next() {
    if (!current_) return;
    if (!current_->lastInLine) {
      ++current_;
    } else {
      current_ = FirstTokenFrom(current_->line + 1, true);
    }
  }

  bool At(char delimiter) const { return current_ && current_->IsDelimiter(delimiter); }
  bool AtClass(std::uint32_t tokenClass) const { return current_ && current_->Is(tokenClass); }

  [[noreturn]] void Fail(std::int32_t code) const { throw StatementError{code, current_}; }
  [[noreturn]] static void FailAt(std::int32_t code, const Token* token) { throw StatementError{code, token}; }

  void Require(char delimiter, std::int32_t code) const {
    if (!At(delimiter)) Fail(code);
  }
  void RequireNumber() const {
    if (!AtClass(kNumber)) Fail(kNumberExpected);
  }

  // ---- Recording ----------------------------------------------------------

  std::int32_t EndLine() const { return static_cast<std::int32_t>(program_.lines.size()) - 1; }

  void Record(std::int32_t code, const Token* token) {
    if (token) {
      errors_.Add(code, program_.lines[token->line].lineIndex, token->column);
    } else {
      errors_.Add(code, EndLine(), 0);
    }
  }

  void RecordUnclosed(const Token* opener) {
    switch (StructureOf(opener->Entry())) {
      case Structure::If: Record(kIfWithoutEndIf, opener); break;
      case Structure::While: Record(kWhileWithoutLoop, opener); break;
      default: Record(kSwitchWithoutEnds, opener); break;
    }
  }

  void CheckRange(Range range, KindCode kind, const Token* at) {
    if (!IsRangeChecked(kind)) return;
    const Range allowed = RangeOfKind(kind);
    if (range.IsConstant()) {
      if (range.low < allowed.low || range.low > allowed.high) Record(kConstantOutOfRangeBase + KindOf(kind), at);
    } else if (range.low < allowed.low || range.high > allowed.high) {
      Record(kRangeMismatch, at);
    }
  }

  // The value of a Number token or a suffix, negated when a minus precedes
  // it. Digits that 32 bits cannot hold are reported, never wrapped.
  std::int64_t LiteralValue(const Token& token, bool negated) {
    const std::int64_t limit = negated ? -kInt32Min : kInt32Max;
    std::int64_t magnitude = token.Wide();
    if (magnitude > limit) {
      Record(kConstantOutOfRangeBase + KindCode{kAny32}, &token);
      magnitude = limit;
    }
    return negated ? -magnitude : magnitude;
  }

  // ---- Statements ---------------------------------------------------------

  void Statement() {
    Token& token = *current_;
    if (token.Is(kShortAssign)) {
      CheckRange(Constant(LiteralValue(token, false)), token.Entry()->kinds[0], &token);
      token.statementStart = true;
      Next();
    } else if (token.IsApostrophe()) {
      current_ = FirstTokenFrom(token.line + 1, true);
    } else if (token.Is(kUserVariable)) {
      token.statementStart = true;
      Next();
      if (At('=')) {
        Next();
        Expression(false);
      } else {
        NumbersAfterVariable(nullptr);
      }
    } else if (token.Is(kArrayName)) {
      token.statementStart = true;
      Index(*token.Entry());
      if (At('=')) {
        Next();
        const Token* first = current_;
        CheckRange(Expression(true), token.Entry()->kinds[0], first);
      } else {
        NumbersAfterVariable(token.Entry());
      }
    } else if (token.Is(kReportArray)) {
      token.statementStart = true;
      Index(*token.Entry());
    } else if (token.Is(kReportVariable)) {
      token.statementStart = true;
      Next();
    } else if (token.Is(kReportKeyword)) {
      token.statementStart = true;
      KeywordStatement(token, Mode::Report);
    } else if (!token.Entry()) {
      Fail(kSyntaxError);
    } else {
      token.statementStart = true;
      KeywordStatement(token, Mode::Statement);
    }
  }

  static Range Constant(std::int64_t value) { return {value, value}; }

  // A variable followed by numbers (a 5 -6); for an array element each
  // number is checked against the element's kind.
  void NumbersAfterVariable(const KeywordEntry* array) {
    while (AtClass(kNumber) || At('-')) {
      const bool negated = At('-');
      if (negated) {
        Next();
        RequireNumber();
      }
      const std::int64_t value = LiteralValue(*current_, negated);
      if (array) CheckRange(Constant(value), array->kinds[0], current_);
      Next();
    }
  }

  void KeywordStatement(Token& token, Mode mode) {
    const KeywordEntry& entry = *token.Entry();
    if (mode == Mode::Statement) {
      if (Structure structure = StructureOf(&entry); structure != Structure::None) {
        StructureStatement(structure, token);
        return;
      }
    }
    switch (entry.syntaxClass) {
      case kParenParams: ParenParameters(entry); break;
      case kIndexSuffix: SuffixParameter(token, mode); break;
      case kIndexSuffixParams:
        SuffixParameter(token, mode);
        CommaParameters(entry, 1);
        break;
      case kCommaParams:
        Next();
        CommaParameters(entry, 0);
        break;
      case kParameter:
        Next();
        if (mode != Mode::Statement) return;
        if (entry.Has(kAssignable) && At('-')) {  // V-500
          Next();
          RequireNumber();
          CheckRange(Constant(LiteralValue(*current_, true)), entry.kinds[0], current_);
          Next();
        }
        break;
      case kPrintList: PrintItems(); break;
      default: Next(); break;  // a command alone
    }
    if (mode != Mode::Statement) return;
    if (At('=')) {
      if (!entry.Has(kAssignable)) Fail(kLvalueRequired);
      Next();
      const Token* first = current_;
      CheckRange(Expression(true), entry.ValueKind(), first);
    }
  }

  // ,p ,p ... from parameter `first` on, each preceded by its comma.
  void CommaParameters(const KeywordEntry& entry, std::int32_t first) {
    for (std::int32_t i = first; i < entry.Parameters(); ++i) {
      Require(',', kCommaExpected);
      Next();
      Parameter(entry.kinds[static_cast<std::size_t>(i)]);
    }
  }

  void ParenParameters(const KeywordEntry& entry) {
    Next();
    Require('(', kOpenParenExpected);
    for (std::int32_t i = 0; i < entry.Parameters(); ++i) {
      if (i > 0) {
        if (At(')')) {
          if (entry.paramCount < 0) break;
          Fail(kInvalidParameterCount);
        }
        Require(',', kCommaExpected);
      }
      Next();
      Parameter(entry.kinds[static_cast<std::size_t>(i)]);
    }
    Require(')', kCloseParenExpected);
    Next();
  }

  // The first parameter of an index-suffix keyword: joined to it (GOTO12) or
  // as a minus and a number (C-5).
  void SuffixParameter(Token& token, Mode mode) {
    const KeywordEntry& entry = *token.Entry();
    if (token.hasSuffix) {
      const std::int64_t value = LiteralValue(token, false);
      CheckRange(Constant(value), entry.kinds[0], &token);
      if (mode == Mode::Statement) {
        if (IsJump(&entry)) token.next = FindLabel(token);
        if (IsLabelEntry(&entry)) CheckLabelDefinition(token, value);
      }
      Next();
      return;
    }
    Next();
    // A jump names its label joined to the keyword (GOTO12); the minus form
    // of the other index keywords would leave it without a destination.
    if (!At('-') || IsJump(&entry)) Fail(kSyntaxError);
    Next();
    RequireNumber();
    CheckRange(Constant(LiteralValue(*current_, true)), entry.kinds[0], current_);
    Next();
  }

  std::uint32_t FindLabel(const Token& jump) const {
    const std::uint32_t label = labels_.FirstDefinition(jump.value);
    if (label == kNoToken) FailAt(kLabelNotFound, &jump);
    return label;
  }

  void CheckLabelDefinition(const Token& label, std::int64_t number) {
    const std::uint32_t position = program_.PositionOf(label);
    if (program_.labelListFull && position > program_.labels.back()) FailAt(kTooManyLabels, &label);
    if (number > kHighestLabelNumber) FailAt(kLabelNumberTooLarge, &label);
  }

  void PrintItems() {
    Next();
    Require('(', kOpenParenExpected);
    for (;;) {
      Next();
      if (At('#')) {
        Parameter(kHashNumber);
      } else if (At('"')) {
        Parameter(kString);
      } else {
        Expression(false);
      }
      if (At(')')) break;
      Require(',', kCommaExpected);
    }
    Next();
  }

  void Parameter(KindCode code) {
    if (code & kExpressionAllowed) {
      const Token* first = current_;
      CheckRange(Expression(false), code, first);
      return;
    }
    switch (KindOf(code)) {
      case kString:
        Require('"', kQuoteExpected);
        Next();
        if (!AtClass(kStringLiteral)) Fail(kStringExpected);
        if (current_->lastInLine) Fail(kNewLineInString);
        Next();
        Require('"', kQuoteExpected);
        Next();
        return;
      case kHashNumber:
        Require('#', kHashExpected);
        Next();
        RequireNumber();
        LiteralValue(*current_, false);
        Next();
        return;
      case kChannelType: RequireWord({"RS2", "RS4", "IIC"}, kChannelTypeExpected); return;
      case kParity: RequireWord({"I", "N", "O", "E"}, kParityExpected); return;
      case kChannelSpec: RequireWord({"C", "D", "M"}, kChannelSpecExpected); return;
      case kUserVariableOperand:
        if (AtClass(kUserVariable)) {
          Next();
        } else if (AtClass(kArrayName)) {
          Index(*current_->Entry());
        } else {
          Fail(kUserVariableExpected);
        }
        return;
      default: {
        RequireNumber();
        const std::int64_t value = LiteralValue(*current_, false);
        if (KindOf(code) == kBitRate) {
          if (!IsBitRate(value)) Record(kBitRateExpected, current_);
        } else {
          CheckRange(Constant(value), code, current_);
        }
        Next();
        return;
      }
    }
  }

  void RequireWord(std::initializer_list<std::string_view> words, std::int32_t code) {
    if (!current_ || std::find(words.begin(), words.end(), program_.TextOf(*current_)) == words.end()) Fail(code);
    Next();
  }

  // [index] after an array name at the current token.
  void Index(const KeywordEntry& array) {
    Next();
    Require('[', kOpenBracketExpected);
    Next();
    const Token* first = current_;
    CheckRange(Expression(true), array.kinds[1], first);
    Require(']', kCloseBracketExpected);
    Next();
  }

  // ---- Structures ---------------------------------------------------------

  // Pops every open structure above the innermost one of this kind,
  // recording it as unclosed. False when there is none.
  bool Find(Structure structure) {
    while (!nesting_.Empty() && StructureOf(nesting_.Top().opener->Entry()) != structure) {
      RecordUnclosed(nesting_.Pop().opener);
    }
    return !nesting_.Empty();
  }

  void Push(Token& opener) {
    if (nesting_.Full()) FailAt(kTooDeeplyNested, &opener);
    nesting_.Push(&opener);
  }

  void StructureStatement(Structure structure, Token& token) {
    switch (structure) {
      case Structure::If:
        Push(token);
        Next();
        Expression(false);
        return;
      case Structure::ElseIf: {
        if (!Find(Structure::If)) FailAt(kElseIfWithoutIf, &token);
        NestingStack::Level& level = nesting_.Top();
        if (!level.pending) FailAt(kElseIfAfterElse, &token);
        token.partner = program_.PositionOf(level.opener);
        level.pending->next = program_.PositionOf(token);
        level.pending = &token;
        Next();
        Expression(false);
        return;
      }
      case Structure::Else: {
        if (!Find(Structure::If)) FailAt(kElseWithoutIf, &token);
        Next();
        NestingStack::Level& level = nesting_.Top();
        if (!level.pending) Fail(kSecondElse);
        token.partner = program_.PositionOf(level.opener);
        level.pending->next = program_.PositionOf(current_);
        level.pending = nullptr;
        return;
      }
      case Structure::EndIf: {
        if (!Find(Structure::If)) FailAt(kEndIfWithoutIf, &token);
        Next();
        NestingStack::Level level = nesting_.Pop();
        level.opener->partner = program_.PositionOf(current_);
        if (level.pending) level.pending->next = program_.PositionOf(current_);
        return;
      }
      case Structure::Switch:
        Push(token);
        Next();
        Expression(false);
        if (!AtClass(kKeyword) || StructureOf(current_->Entry()) != Structure::Case) Fail(kCaseExpected);
        LinkCase(*current_);
        return;
      case Structure::Case:
        if (!Find(Structure::Switch)) FailAt(kCaseWithoutSwitch, &token);
        LinkCase(token);
        return;
      case Structure::Default: {
        if (!Find(Structure::Switch)) FailAt(kDefaultWithoutSwitch, &token);
        NestingStack::Level& level = nesting_.Top();
        if (!level.pending) FailAt(kSecondDefault, &token);
        level.pending->next = program_.PositionOf(token);
        level.pending = nullptr;
        Next();
        return;
      }
      case Structure::EndSwitch: {
        if (!Find(Structure::Switch)) FailAt(kEndsWithoutSwitch, &token);
        NestingStack::Level level = nesting_.Pop();
        level.opener->partner = program_.PositionOf(token);
        if (level.pending) level.pending->next = program_.PositionOf(token);
        Next();
        return;
      }
      case Structure::While:
        Push(token);
        Next();
        Expression(false);
        return;
      case Structure::Loop: {
        if (!Find(Structure::While)) FailAt(kLoopWithoutWhile, &token);
        Next();
        NestingStack::Level level = nesting_.Pop();
        token.partner = program_.PositionOf(level.opener);
        level.opener->partner = program_.PositionOf(current_);
        return;
      }
      case Structure::Break: {
        Token* owner = nesting_.Innermost(Structure::Switch);
        if (!owner) owner = nesting_.Innermost(Structure::While);
        if (!owner) FailAt(kBreakOutsideLoop, &token);
        token.partner = program_.PositionOf(owner);
        Next();
        return;
      }
      case Structure::End:
        endSeen_ = true;
        Next();
        return;
      case Structure::None: return;
    }
  }

  void LinkCase(Token& caseToken) {
    NestingStack::Level& level = nesting_.Top();
    if (!level.pending) FailAt(kCaseAfterDefault, &caseToken);
    level.pending->next = program_.PositionOf(caseToken);
    level.pending = &caseToken;
    Next();
    const bool negated = At('-');
    if (negated) Next();
    RequireNumber();
    LiteralValue(*current_, negated);
    Next();
  }

  // ---- Expressions --------------------------------------------------------

  // [-]term [operator [-]term]: no precedence and no chaining. With the value
  // context on, the range is what the expression can take; off, only a
  // single number or a folded constant keeps its value.
  Range Expression(bool valueContext) {
    const bool firstNegated = At('-');
    if (firstNegated) Next();
    const Token* first = current_;
    const Range firstRange = Term(firstNegated);
    if (!IsOperator(program_, current_)) {
      return valueContext || first->Is(kNumber) ? firstRange : Constant(0);
    }
    const std::string_view op = program_.TextOf(*current_);
    Next();
    const bool secondNegated = At('-');
    if (secondNegated) Next();
    const Token* second = current_;
    const Range secondRange = Term(secondNegated);
    if (first->Is(kNumber) && second->Is(kNumber)) return Fold(op, firstRange.low, secondRange.low, second);
    if (!valueContext) return Constant(0);
    return {std::min(firstRange.low, secondRange.low), std::max(firstRange.high, secondRange.high)};
  }

  Range Fold(std::string_view op, std::int64_t left, std::int64_t right, const Token* divisor) {
    if (op == "*") return Constant(left * right);
    if (op == "+") return Constant(left + right);
    if (op == "-") return Constant(left - right);
    if (op == "/") {
      if (right == 0) FailAt(kDivisionByZero, divisor);
      return Constant(left / right);  // 64 bits: -2147483648 / -1 does not fault
    }
    return Constant(0);
  }

  Range Term(bool negated) {
    Token* term = current_;
    if (!term) Fail(kInvalidExpression);
    Range range;
    if (term->Is(kUserVariable)) {
      Next();
      range = kFullRange;
    } else if (term->Is(kArrayName)) {
      Index(*term->Entry());
      range = RangeOfKind(term->Entry()->kinds[0]);
    } else if (term->Is(kNumber)) {
      const std::int64_t value = LiteralValue(*term, negated);
      Next();
      return Constant(value);
    } else if (term->Is(kReportKeyword | kReportVariable | kReportArray)) {
      Fail(kInvalidTerm);
    } else if (!term->Entry()) {
      Fail(kInvalidExpression);
    } else if (!term->Entry()->Has(kReadable)) {
      Fail(kInvalidTerm);
    } else {
      range = RangeOfKind(term->Entry()->ValueKind());
      KeywordStatement(*term, Mode::Term);
    }
    return negated ? range.Negated() : range;
  }

  TokenizedProgram& program_;
  ErrorList& errors_;
  LabelIndex labels_;
  Token* current_ = nullptr;
  NestingStack nesting_;
  bool endSeen_ = false;
};

}  // namespace

void Parse(TokenizedProgram& program, ErrorList& errors) { Parser(program, errors).Run(); }

}  // namespace velkor::engine::compiler
