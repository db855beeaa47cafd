#pragma once
// Diagnostics of a compile run and the list that collects them within its
// limits.

#include <cstdint>
#include <string>
#include <vector>

namespace velkor::engine::compiler {

// The diagnostic codes that have their own meaning beyond their message.
enum DiagnosticCode : std::int32_t {
  kNewLineInString = 1,
  kOpenParenExpected = 2,
  kCloseParenExpected = 3,
  kNumberExpected = 4,
  kQuoteExpected = 5,
  kCommaExpected = 6,
  kStringExpected = 8,
  kHashExpected = 9,
  kChannelTypeExpected = 10,
  kParityExpected = 11,
  kChannelSpecExpected = 12,
  kUserVariableExpected = 13,
  kInvalidParameterCount = 14,
  kInvalidTerm = 15,
  kOpenBracketExpected = 16,
  kCloseBracketExpected = 17,
  kInvalidExpression = 19,
  kSyntaxError = 20,
  kTooManyErrors = 21,
  kTooManyWarnings = 22,
  kLvalueRequired = 23,
  kEndExpected = 24,
  kLabelNotFound = 25,
  kIfWithoutEndIf = 26,
  kElseIfWithoutIf = 27,
  kElseWithoutIf = 28,
  kSecondElse = 29,
  kElseIfAfterElse = 30,
  kEndIfWithoutIf = 31,
  kWhileWithoutLoop = 32,
  kLoopWithoutWhile = 33,
  kSwitchWithoutEnds = 34,
  kCaseExpected = 35,
  kCaseWithoutSwitch = 36,
  kDefaultWithoutSwitch = 37,
  kCaseAfterDefault = 38,
  kSecondDefault = 39,
  kEndsWithoutSwitch = 40,
  kBreakOutsideLoop = 41,
  kTooManyLabels = 42,
  kLabelNumberTooLarge = 43,
  kDivisionByZero = 44,
  kTooDeeplyNested = 70,
  kConstantOutOfRangeBase = 100,  // + the kind code
  kBitRateExpected = 123,
  kRangeMismatch = 200,
};

struct Diagnostic {
  std::int32_t code = 0;
  std::string description;
  std::int32_t line = -1;    // zero-based line index, or -1
  std::int32_t column = -1;  // zero-based, or -1

  bool IsWarning() const { return code >= 100; }
};

// The message of a code; codes without one are named as unknown.
std::string DiagnosticMessage(std::int32_t code);

class ErrorList {
 public:
  // Empties the list for a new run with these limits.
  void Reset(std::int32_t maxErrors, std::int32_t maxWarnings);

  // Records the diagnostic unless a limit record has already been written.
  // Reaching a limit appends its own record; both limit records count as
  // errors, so reaching the warning limit also refuses the image.
  void Add(std::int32_t code, std::int32_t line, std::int32_t column);

  // A limit was reached: nothing more is recorded and the run stops.
  bool Full() const { return full_; }
  std::int32_t ErrorCount() const { return errorCount_; }
  std::int32_t WarningCount() const { return warningCount_; }
  const std::vector<Diagnostic>& Records() const { return records_; }

 private:
  void Append(std::int32_t code, std::int32_t line, std::int32_t column);

  std::int32_t maxErrors_ = 50;
  std::int32_t maxWarnings_ = 50;
  std::int32_t errorCount_ = 0;
  std::int32_t warningCount_ = 0;
  bool full_ = false;
  std::vector<Diagnostic> records_;
};

}  // namespace velkor::engine::compiler
