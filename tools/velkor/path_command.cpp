#include "tools/velkor/path_command.h"

#include <charconv>
#include <optional>
#include <string>
#include <vector>

#include "tools/velkor/session.h"

namespace velkor::client {
namespace {

constexpr const char* kUsage =
    "usage: velkor path line|arc|length --time-delta T --max-speed V [--acceleration A]\n"
    "       [--start-speed V] [--end-speed V | --keep-speed] [--start-clock C] [--start X,Y,...]\n"
    "       [--create] (line: --to X,Y,...; arc: --to X,Y[,Z] --center X,Y[,Z] [--plane 0|1|2]\n"
    "       [--clockwise]; length: --length L)";

enum class Shape { Length, Line, Arc };

struct PathOptions {
  Shape shape = Shape::Line;
  std::optional<LONG> timeDelta;
  std::optional<double> maxSpeed;
  std::optional<double> acceleration;
  std::optional<double> startSpeed;
  std::optional<double> endSpeed;
  std::optional<double> length;
  std::optional<LONG> startClock;
  std::optional<LONG> plane;
  bool keepSpeed = false;
  bool clockwise = false;
  bool create = false;
  std::vector<double> start;
  std::vector<double> to;
  std::vector<double> center;
};

bool ParseReal(std::string_view text, double& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// "X,Y,..." with one to six numbers.
bool ParseList(std::string_view text, std::vector<double>& values) {
  values.clear();
  while (true) {
    const std::size_t comma = text.find(',');
    double value = 0;
    if (!ParseReal(text.substr(0, comma), value)) return false;
    values.push_back(value);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return values.size() <= 6;
}

std::optional<std::string> ParseOptions(std::span<const std::string_view> arguments, PathOptions& options) {
  if (arguments.empty()) return std::string(kUsage);
  const std::string_view shape = arguments.front();
  if (shape == "line") options.shape = Shape::Line;
  else if (shape == "arc") options.shape = Shape::Arc;
  else if (shape == "length") options.shape = Shape::Length;
  else return "a path is a line, an arc or a length, not '" + std::string(shape) + "'\n" + kUsage;

  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string_view word = arguments[i];
    const std::optional<std::string_view> value =
        i + 1 < arguments.size() ? std::optional(arguments[i + 1]) : std::nullopt;
    auto real = [&](std::optional<double>& target) -> std::optional<std::string> {
      double number = 0;
      if (!value || !ParseReal(*value, number)) return std::string(word) + " needs a number";
      target = number;
      ++i;
      return std::nullopt;
    };
    auto whole = [&](std::optional<LONG>& target) -> std::optional<std::string> {
      LONG number = 0;
      if (!value || !ParseDecimal(*value, number)) return std::string(word) + " needs a whole number";
      target = number;
      ++i;
      return std::nullopt;
    };
    auto list = [&](std::vector<double>& target) -> std::optional<std::string> {
      if (!value || !ParseList(*value, target)) return std::string(word) + " needs one to six numbers: X,Y,...";
      ++i;
      return std::nullopt;
    };
    std::optional<std::string> problem;
    if (word == "--time-delta") problem = whole(options.timeDelta);
    else if (word == "--max-speed") problem = real(options.maxSpeed);
    else if (word == "--acceleration") problem = real(options.acceleration);
    else if (word == "--start-speed") problem = real(options.startSpeed);
    else if (word == "--end-speed") problem = real(options.endSpeed);
    else if (word == "--length") problem = real(options.length);
    else if (word == "--start-clock") problem = whole(options.startClock);
    else if (word == "--plane") problem = whole(options.plane);
    else if (word == "--start") problem = list(options.start);
    else if (word == "--to") problem = list(options.to);
    else if (word == "--center") problem = list(options.center);
    else if (word == "--keep-speed") options.keepSpeed = true;
    else if (word == "--clockwise") options.clockwise = true;
    else if (word == "--create") options.create = true;
    else problem = "unknown option '" + std::string(word) + "'";
    if (problem) return problem;
  }

  if (!options.timeDelta || !options.maxSpeed) return "path needs --time-delta and --max-speed\n" + std::string(kUsage);
  switch (options.shape) {
    case Shape::Length:
      if (!options.length) return std::string("a length path needs --length L");
      break;
    case Shape::Line:
      if (options.to.empty()) return std::string("a line needs --to X,Y,...");
      break;
    case Shape::Arc:
      if (options.to.empty() || options.center.empty()) return std::string("an arc needs --to X,Y and --center X,Y");
      break;
  }
  return std::nullopt;
}

// A one-dimensional array of doubles from 1, as the engine reads coordinates.
Variant Coordinates(const std::vector<double>& values) {
  Variant coordinates;
  SAFEARRAY* array = SafeArrayCreateVector(VT_R8, 1, static_cast<ULONG>(values.size()));
  if (!array) return coordinates;
  for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
    const LONG index = i + 1;
    SafeArrayPutElement(array, &index, &values[static_cast<std::size_t>(i)]);
  }
  coordinates.vt = VT_ARRAY | VT_R8;
  coordinates.parray = array;
  return coordinates;
}

void AppendNumber(std::string& line, double value) {
  char text[32];
  auto [end, error] = std::to_chars(text, text + sizeof text, value);
  if (error == std::errc()) line.append(text, end);
}

// The column names, then one row per sample: the positions, then the clock.
bool PrintTable(const VARIANT& dataPairs, std::FILE* out) {
  SAFEARRAY* array = dataPairs.vt == (VT_ARRAY | VT_R8) ? dataPairs.parray : nullptr;
  if (!array || SafeArrayGetDim(array) != 2) return false;
  LONG firstRow = 0, lastRow = 0, firstSample = 0, lastSample = 0;
  SafeArrayGetLBound(array, 1, &firstRow);
  SafeArrayGetUBound(array, 1, &lastRow);
  SafeArrayGetLBound(array, 2, &firstSample);
  SafeArrayGetUBound(array, 2, &lastSample);
  const long long rows = static_cast<long long>(lastRow) - firstRow + 1;
  const long long samples = static_cast<long long>(lastSample) - firstSample + 1;
  if (rows < 2) return false;

  std::string line;
  for (long long axis = 1; axis < rows; ++axis) line += "axis" + std::to_string(axis) + ",";
  line += "clock\n";
  std::fputs(line.c_str(), out);
  void* data = nullptr;
  if (samples > 0 && FAILED(SafeArrayAccessData(array, &data))) return false;
  const auto* values = static_cast<const double*>(data);
  for (long long sample = 0; sample < samples; ++sample) {
    line.clear();
    for (long long row = 0; row < rows; ++row) {
      if (row > 0) line += ',';
      AppendNumber(line, values[sample * rows + row]);
    }
    line += '\n';
    std::fputs(line.c_str(), out);
  }
  if (data) SafeArrayUnaccessData(array);
  return true;
}

// The properties the options name; the failing one is named in `what`.
HRESULT ApplyProperties(IVNXPath& path, const PathOptions& options, std::string& what) {
  HRESULT status = S_OK;
  auto apply = [&](const char* name, HRESULT result) {
    if (SUCCEEDED(status) && FAILED(result)) {
      status = result;
      what = name;
    }
  };
  apply("--time-delta", path.put_TimeDelta(*options.timeDelta));
  if (options.acceleration) apply("--acceleration", path.put_Acceleration(*options.acceleration));
  if (options.startSpeed) apply("--start-speed", path.put_StartSpeed(*options.startSpeed));
  if (options.endSpeed) apply("--end-speed", path.put_EndSpeed(*options.endSpeed));
  if (options.keepSpeed) apply("--keep-speed", path.put_SlowToEndSpeed(0));
  if (options.startClock) apply("--start-clock", path.put_StartClock(*options.startClock));
  if (options.plane) apply("--plane", path.put_Plane(*options.plane));
  for (std::size_t axis = 0; axis < options.start.size(); ++axis)
    apply("--start", path.put_StartPoint(static_cast<INT>(axis + 1), options.start[axis]));
  return status;
}

HRESULT GenerateTable(IVNXPath& path, const PathOptions& options, VARIANT* dataPairs) {
  const double speed = *options.maxSpeed;
  const auto direction = options.clockwise ? vnx_clockwise : vnx_counterclockwise;
  switch (options.shape) {
    case Shape::Length:
      return options.create ? path.CreatePath(speed, *options.length, dataPairs)
                            : path.GeneratePath(speed, *options.length, dataPairs);
    case Shape::Line: {
      Variant to = Coordinates(options.to);
      return options.create ? path.CreateLinePath(speed, to, dataPairs) : path.GenerateLinePath(speed, to, dataPairs);
    }
    case Shape::Arc: {
      Variant to = Coordinates(options.to);
      Variant center = Coordinates(options.center);
      return options.create ? path.CreateArcPath(speed, to, center, direction, dataPairs)
                            : path.GenerateArcPath(speed, to, center, direction, dataPairs);
    }
  }
  return E_FAIL;
}

}  // namespace

int Path(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  PathOptions options;
  if (auto problem = ParseOptions(arguments, options)) {
    std::fprintf(err, "velkor path: %s\n", problem->c_str());
    return kEngineFailure;
  }
  Session session(out, err);
  ComPtr<IVNXPath> path;
  HRESULT status = CreateObject("VNXEngine.VNXHost", IID_IVNXPath, path.OutVoid());
  if (FAILED(status)) {
    std::fprintf(err, "velkor: cannot create VNXEngine.VNXHost (status 0x%08X): is libvelkor.so beside velkor?\n",
                 static_cast<unsigned>(status));
    return kSystemFailure;
  }
  std::string what;
  if (FAILED(status = ApplyProperties(*path.get(), options, what))) return session.Failed(what, status);
  Variant dataPairs;
  if (FAILED(status = GenerateTable(*path.get(), options, &dataPairs))) return session.Failed("path", status);
  if (!PrintTable(dataPairs, out)) {
    std::fprintf(err, "velkor path: the engine returned no table of samples\n");
    return kEngineFailure;
  }
  return kDone;
}

}  // namespace velkor::client
