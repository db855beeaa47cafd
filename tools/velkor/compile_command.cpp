#include "tools/velkor/compile_command.h"

#include <filesystem>

#include <optional>
#include <string>

#include "tools/velkor/session.h"

namespace velkor::client {
namespace {

constexpr int kImageWritten = 0;
constexpr int kProgramHasErrors = 1;
constexpr int kFileOrUsageFailure = 2;

struct CompileOptions {
  std::string source;
  std::optional<std::string> image;
  std::optional<LONG> maxErrors;
  std::optional<LONG> maxWarnings;
};

std::optional<LONG> PositiveNumber(std::string_view text) {
  LONG value = 0;
  if (!ParseDecimal(text, value) || value < 1) return std::nullopt;
  return value;
}

std::optional<std::string> ParseOptions(std::span<const std::string_view> arguments, CompileOptions& options) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view word = arguments[i];
    const bool hasValue = i + 1 < arguments.size();
    if (word == "-o" || word == "--output") {
      if (!hasValue) return std::string(word) + " needs a file name";
      options.image = std::string(arguments[++i]);
    } else if (word == "--max-errors" || word == "--max-warnings") {
      const std::optional<LONG> value = hasValue ? PositiveNumber(arguments[++i]) : std::nullopt;
      if (!value) return std::string(word) + " needs a number of at least 1";
      (word == "--max-errors" ? options.maxErrors : options.maxWarnings) = value;
    } else if (word.starts_with("-") && word.size() > 1) {
      return "unknown option '" + std::string(word) + "'";
    } else if (options.source.empty()) {
      options.source = std::string(word);
    } else {
      return "only one SOURCE can be compiled at a time";
    }
  }
  if (options.source.empty()) return std::string("usage: velkor compile SOURCE [-o IMAGE] [--max-errors N] [--max-warnings N]");
  return std::nullopt;
}

// SOURCE:LINE:COLUMN: error CODE: MESSAGE, 1-based; a record that belongs to
// no place (the limit records) names the file alone.
void PrintDiagnostics(IVNXErrors& errors, const std::string& source, std::FILE* err) {
  LONG errorCount = 0;
  LONG warningCount = 0;
  errors.get_NoOfErrors(&errorCount);
  errors.get_NoOfWarnings(&warningCount);
  const LONG records = errorCount + warningCount;
  errors.GoFirst();
  for (LONG index = 0; index < records; ++index) {
    if (index > 0 && FAILED(errors.GoNext())) break;
    LONG code = 0;
    LONG line = -1;
    LONG column = -1;
    LONG isWarning = 0;
    Bstr description;
    errors.get_Code(&code);
    errors.get_Line(&line);
    errors.get_Column(&column);
    errors.get_IsWarning(&isWarning);
    errors.get_Description(description.Out());
    const char* kind = isWarning ? "warning" : "error";
    if (line >= 0) {
      std::fprintf(err, "%s:%ld:%ld: %s %ld: %s\n", source.c_str(), static_cast<long>(line) + 1,
                   static_cast<long>(column < 0 ? 0 : column) + 1, kind, static_cast<long>(code),
                   description.Utf8().c_str());
    } else {
      std::fprintf(err, "%s: %s %ld: %s\n", source.c_str(), kind, static_cast<long>(code), description.Utf8().c_str());
    }
  }
}

}  // namespace

int Compile(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  CompileOptions options;
  if (auto problem = ParseOptions(arguments, options)) {
    std::fprintf(err, "velkor compile: %s\n", problem->c_str());
    return kFileOrUsageFailure;
  }
  std::error_code error;
  if (options.image && std::filesystem::equivalent(options.source, *options.image, error)) {
    std::fprintf(err, "velkor compile: -o %s is the source itself; the image would replace the program\n",
                 options.image->c_str());
    return kFileOrUsageFailure;
  }
  Session session(out, err);
  ComPtr<IVNXScan> scan;
  HRESULT status = CreateObject("VNXEngine.VNXScan", IID_IVNXScan, scan.OutVoid());
  if (FAILED(status)) {
    session.Failed("cannot create VNXEngine.VNXScan", status);
    return kFileOrUsageFailure;
  }
  ComPtr<IVNXErrors> errors;
  if (FAILED(status = scan.As(IID_IVNXErrors, errors))) {
    session.Failed("VNXScan has no error list", status);
    return kFileOrUsageFailure;
  }
  if (options.maxErrors && FAILED(status = errors->put_MaxErrors(*options.maxErrors))) {
    session.Failed("--max-errors", status);
    return kFileOrUsageFailure;
  }
  if (options.maxWarnings && FAILED(status = errors->put_MaxWarnings(*options.maxWarnings))) {
    session.Failed("--max-warnings", status);
    return kFileOrUsageFailure;
  }

  const Bstr source(options.source);
  LONG written = 0;
  if (options.image) {
    const Bstr image(*options.image);
    status = scan->MakeVQX2(source.get(), image.get(), &written);
  } else {
    status = scan->MakeVQX(source.get(), &written);
  }
  static constexpr Session::Hint kTooLong[] = {
      {39, "sources are read up to 16 MiB, and an image body holds at most 16777215 bytes"},
      {35, "the image cannot be written there (or it would replace the source)"}};
  if (FAILED(status)) {
    session.Failed(options.source, status, kTooLong);
    return kFileOrUsageFailure;
  }
  PrintDiagnostics(*errors.get(), options.source, err);
  LONG errorCount = 0;
  LONG warningCount = 0;
  errors->get_NoOfErrors(&errorCount);
  errors->get_NoOfWarnings(&warningCount);
  if (!written) {
    std::fprintf(err, "%s: no image written (%ld errors, %ld warnings)\n", options.source.c_str(),
                 static_cast<long>(errorCount), static_cast<long>(warningCount));
    return kProgramHasErrors;
  }
  std::fprintf(out, "%s: compiled (%ld warnings)\n", options.source.c_str(), static_cast<long>(warningCount));
  return kImageWritten;
}

}  // namespace velkor::client
