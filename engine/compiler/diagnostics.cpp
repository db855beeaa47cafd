#include "engine/compiler/diagnostics.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace velkor::engine::compiler {
namespace {

struct Message {
  std::int32_t code;
  std::string_view text;
};

constexpr std::array kMessages = {
    Message{1, "New Line in constant string."},
    Message{2, "'(' expected."},
    Message{3, "')' expected."},
    Message{4, "Number expected."},
    Message{5, "'\"' expected."},
    Message{6, "',' expected."},
    Message{7, "End of program."},
    Message{8, "String expected."},
    Message{9, "'#' expected."},
    Message{10, "Communication type expected.(RS2,RS4,IIC)."},
    Message{11, "Parity expected (I,N,O,E)."},
    Message{12, "Communication spec. expected (C,D,M)."},
    Message{13, "User variable expected."},
    Message{14, "Invalid number of parameters."},
    Message{15, "Invalid expression term."},
    Message{16, "'[' expected."},
    Message{17, "']' expected."},
    Message{18, "Invalid index."},
    Message{19, "Invalid expression."},
    Message{20, "Syntax error."},
    Message{21, "Too many Errors."},
    Message{22, "Too many Warnings."},
    Message{23, "Lvalue required."},
    Message{24, "'END' expected."},
    Message{25, "Destination label not found."},
    Message{26, "Illegal 'IF' without matching 'ENDIF'."},
    Message{27, "Illegal 'ELSEIF' without matching 'IF'."},
    Message{28, "Illegal 'ELSE' without matching 'IF'."},
    Message{29, "More than one 'ELSE'."},
    Message{30, "Illegal 'ELSEIF' after 'ELSE'."},
    Message{31, "Illegal 'ENDIF' without matching 'IF'."},
    Message{32, "Illegal 'WHILE' without matching 'LOOP'."},
    Message{33, "Illegal 'LOOP' without matching 'WHILE'."},
    Message{34, "Illegal 'SWITCH' without matching 'ENDS'."},
    Message{35, "'CASE' expected."},
    Message{36, "Illegal 'CASE' without matching 'SWITCH'."},
    Message{37, "Illegal 'DEFAULT' without matching 'SWITCH'."},
    Message{38, "Illegal 'CASE' after 'DEFAULT'."},
    Message{39, "More than one 'DEFAULT'."},
    Message{40, "Illegal 'ENDS' without matching 'SWITCH'."},
    Message{41, "Illegal 'BREAK' without 'WHILE' or 'SWITCH'."},
    // The label list holds 1000 definitions and the label table's size is a
    // four-digit hexadecimal field: beyond either the image cannot be right.
    Message{42, "Too many labels. (at most 1000)."},
    Message{43, "Label number too large for the label table."},
    Message{44, "Division by zero in a constant expression."},
    Message{70, "Too many nested keywords. Cannot continue!"},
    Message{103, "Constant out of range. (0 or 1)."},
    Message{104, "Constant out of range. (0 .. 2)."},
    Message{105, "Constant out of range. (1 .. 4)."},
    Message{106, "Constant out of range. (0 .. 15)."},
    Message{107, "Constant out of range. (0 .. 50)."},
    Message{108, "Constant out of range. (0 .. 63)."},
    Message{109, "Constant out of range. (0 .. 101)."},
    Message{110, "Constant out of range. (2 .. 100)."},
    Message{111, "Constant out of range. (0 .. 120)."},
    Message{112, "Constant out of range. (0 .. 127)."},
    Message{113, "Constant out of range. (0 .. 203)."},
    Message{114, "Constant out of range. (-128 .. 127)."},
    Message{115, "Constant out of range. (0 .. 255)."},
    Message{116, "Constant out of range. (0 .. 999)."},
    Message{117, "Constant out of range. (0 .. 1023)."},
    Message{118, "Constant out of range. (0 .. 32767)."},
    Message{119, "Constant out of range. (-32768 .. 32767)."},
    Message{120, "Constant out of range. (0 .. 65535)."},
    Message{121, "Constant out of range. (0 .. 2147483647)."},
    // A constant that 32 bits cannot hold.
    Message{122, "Constant out of range. (-2147483648 .. 2147483647)."},
    Message{123, "A bitrate value expected."},
    Message{124, "Constant out of range. (Only 8)."},
    Message{129, "Constant out of range. (0 .. 16777215)."},
    Message{200, "Possible loss of data/Range mismatch."},
};

}  // namespace

std::string DiagnosticMessage(std::int32_t code) {
  for (const Message& message : kMessages) {
    if (message.code == code) return std::string(message.text);
  }
  return "Unknown " + std::string(code < 100 ? "Error" : "Warning") + "! (Code:" + std::to_string(code) + ")";
}

void ErrorList::Reset(std::int32_t maxErrors, std::int32_t maxWarnings) {
  maxErrors_ = maxErrors;
  maxWarnings_ = maxWarnings;
  errorCount_ = 0;
  warningCount_ = 0;
  full_ = false;
  records_.clear();
  // Room grows with the records: a generous limit must not cost its memory
  // up front.
  const std::size_t room = static_cast<std::size_t>(maxErrors) + static_cast<std::size_t>(maxWarnings) + 2;
  records_.reserve(std::min<std::size_t>(room, 256));
}

void ErrorList::Append(std::int32_t code, std::int32_t line, std::int32_t column) {
  records_.push_back(Diagnostic{code, DiagnosticMessage(code), line, column});
}

void ErrorList::Add(std::int32_t code, std::int32_t line, std::int32_t column) {
  if (full_) return;
  Append(code, line, column);
  if (code >= 100) {
    if (++warningCount_ < maxWarnings_) return;
    Append(kTooManyWarnings, -1, -1);
  } else {
    if (++errorCount_ < maxErrors_) return;
    Append(kTooManyErrors, -1, -1);
  }
  ++errorCount_;
  full_ = true;
}

}  // namespace velkor::engine::compiler
