#include "fuzz/compile_one_input.h"

#include <exception>
#include <optional>
#include <string_view>
#include <utility>

#include "engine/compiler/compiler.h"
#include "engine/compiler/source_file.h"
#include "engine/core/errors.h"
#include "fuzz/image_check.h"

namespace velkor::fuzz {
namespace {

using engine::CVNXException;
using engine::ErrorCode;
using engine::compiler::Compiler;
using engine::compiler::Diagnostic;
using engine::compiler::ErrorList;

class Violations {
 public:
  Violations(std::vector<std::string>& out, std::string source) : out_(out), source_(std::move(source)) {}
  void Add(std::string_view what) { out_.push_back(source_ + ": " + std::string(what)); }
  void AddAll(const std::vector<std::string>& whats) {
    for (const std::string& what : whats) Add(what);
  }

 private:
  std::vector<std::string>& out_;
  std::string source_;
};

std::string Describe(const Diagnostic& record) {
  return std::to_string(record.code) + " at " + std::to_string(record.line) + ":" + std::to_string(record.column);
}

bool SameRecord(const Diagnostic& a, const Diagnostic& b) {
  return a.code == b.code && a.line == b.line && a.column == b.column && a.description == b.description;
}

bool IsLimitRecord(const Diagnostic& record) { return record.code == 21 || record.code == 22; }

void CheckDiagnostics(const Compiler& compiler, Violations& violations) {
  const ErrorList& errors = compiler.Errors();
  const std::vector<Diagnostic>& records = errors.Records();
  const auto lineCount = static_cast<std::int64_t>(compiler.Program().lines.size());
  if (static_cast<std::int64_t>(records.size()) != std::int64_t{errors.ErrorCount()} + errors.WarningCount()) {
    violations.Add("record count differs from errors + warnings");
  }
  if (errors.ErrorCount() > compiler.MaxErrors() + 1 || errors.WarningCount() > compiler.MaxWarnings()) {
    violations.Add("the counts pass their limits");
  }
  std::int32_t warnings = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const Diagnostic& record = records[i];
    warnings += record.IsWarning() ? 1 : 0;
    if (record.description.empty() || record.description.starts_with("Unknown ")) {
      violations.Add("record " + Describe(record) + " has no message of its own");
    }
    if (IsLimitRecord(record)) {
      if (i + 1 != records.size()) violations.Add("a record follows the limit record");
      if (record.line != -1 || record.column != -1) violations.Add("the limit record has a position");
      continue;
    }
    if (record.line < 0 || record.line >= lineCount || record.column < 0) {
      violations.Add("record " + Describe(record) + " lies outside the program's " + std::to_string(lineCount) +
                     " lines");
    } else if (static_cast<std::size_t>(record.column) >
               compiler.Program().lines[static_cast<std::size_t>(record.line)].text.size()) {
      violations.Add("record " + Describe(record) + " lies past the end of its line");
    }
  }
  if (warnings != errors.WarningCount()) violations.Add("warning records differ from the warning count");
}

struct Run {
  std::vector<Diagnostic> records;
  std::optional<std::string> image;  // when the run had no error
};

// The compiler may throw only for want of memory; then there is nothing to
// check, and that is no fault of the input.
template <class Body>
bool Guarded(Violations& violations, std::string_view step, Body&& body) {
  try {
    body();
    return true;
  } catch (const CVNXException& error) {
    if (error.Code() != static_cast<std::uint32_t>(ErrorCode::OutOfMemory)) {
      violations.Add(std::string(step) + " threw engine error " + std::to_string(error.Code()));
    }
  } catch (const std::exception& error) {
    violations.Add(std::string(step) + " threw " + error.what());
  } catch (...) {
    violations.Add(std::string(step) + " threw a foreign exception");
  }
  return false;
}

std::optional<Run> CompileAndCheck(Compiler& compiler, const std::string& text, Violations& violations) {
  if (!Guarded(violations, "Compile", [&] { compiler.Compile(text); })) return std::nullopt;
  CheckDiagnostics(compiler, violations);
  Run run{compiler.Errors().Records(), std::nullopt};
  if (compiler.Errors().ErrorCount() > 0) return run;
  if (!Guarded(violations, "Image", [&] { run.image = compiler.Image(); })) return std::nullopt;
  violations.AddAll(CheckImage(*run.image, text.find('$') == std::string::npos));
  return run;
}

// With both limits at 1 the same compiler must report the first diagnostic
// of the unlimited run and then the limit record, or, for a clean program,
// nothing and the same image: limits change how much is said, not what.
void CheckWithTightLimits(Compiler& compiler, const std::string& text, const Run& full, Violations& violations) {
  compiler.SetMaxErrors(1);
  compiler.SetMaxWarnings(1);
  const std::optional<Run> tight = CompileAndCheck(compiler, text, violations);
  if (!tight) return;
  if (full.records.empty()) {
    if (!tight->records.empty()) violations.Add("tight limits found a diagnostic the full run did not");
    if (full.image != tight->image) violations.Add("a second run wrote another image");
    return;
  }
  const Diagnostic& first = full.records.front();
  const std::int32_t limitCode = first.IsWarning() ? 22 : 21;
  if (tight->records.size() != 2 || !SameRecord(tight->records[0], first) || tight->records[1].code != limitCode) {
    std::string seen;
    for (const Diagnostic& record : tight->records) seen += " " + Describe(record);
    violations.Add("expected " + Describe(first) + " and " + std::to_string(limitCode) + ", got" + seen);
  }
}

void CheckProgram(const std::string& text, const std::string& source, InputReport& report, bool plain) {
  Violations violations(report.violations, source);
  Compiler compiler;
  const std::optional<Run> full = CompileAndCheck(compiler, text, violations);
  if (!full) return;
  if (plain) report.imageChecked = full->image.has_value();
  Violations tightViolations(report.violations, source + " with limits of 1");
  CheckWithTightLimits(compiler, text, *full, tightViolations);
}

// Stripping only removes markup: it never lengthens the text, and its only
// line ends are the CR LF pairs it writes for paragraph marks.
void CheckStripped(std::string_view input, const std::string& stripped, InputReport& report) {
  Violations violations(report.violations, "rich text");
  if (stripped.size() > input.size()) violations.Add("stripping lengthened the text");
  for (std::size_t i = 0; i < stripped.size(); ++i) {
    const bool pairedCr = stripped[i] == '\r' && i + 1 < stripped.size() && stripped[i + 1] == '\n';
    const bool pairedLf = stripped[i] == '\n' && i > 0 && stripped[i - 1] == '\r';
    if ((stripped[i] == '\r' && !pairedCr) || (stripped[i] == '\n' && !pairedLf)) {
      violations.Add("a line end at " + std::to_string(i) + " that no paragraph mark wrote");
      return;
    }
  }
}

}  // namespace

InputReport CompileOneInput(std::span<const std::uint8_t> bytes) {
  InputReport report;
  const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  CheckProgram(text, "plain text", report, true);

  std::string stripped;
  Violations violations(report.violations, "rich text");
  if (!Guarded(violations, "StripRichText", [&] { stripped = engine::compiler::StripRichText(text); })) return report;
  CheckStripped(text, stripped, report);
  CheckProgram(stripped, "rich text", report, false);
  return report;
}

}  // namespace velkor::fuzz
