#include "tools/velkor/sample_table.h"

#include <bit>
#include <cmath>
#include <cstdlib>

namespace velkor::client {
namespace {

constexpr double kLongest = 2147483647.0;

std::vector<std::string_view> Cells(std::string_view line) {
  std::vector<std::string_view> cells;
  for (std::size_t start = 0;;) {
    const std::size_t comma = line.find(',', start);
    cells.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) return cells;
    start = comma + 1;
  }
}

// A number that fills its cell (blanks around it aside), finite.
std::optional<double> Number(std::string_view cell) {
  const std::string text(cell);
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || !std::isfinite(value)) return std::nullopt;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return std::nullopt;
  return value;
}

}  // namespace

std::optional<TableProblem> ParseSampleTable(std::string_view text, std::size_t axes, std::vector<Sample>& samples) {
  std::size_t number = 0;
  std::uint32_t lastClock = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    std::vector<double> values;
    bool numeric = true;
    for (std::string_view cell : Cells(line)) {
      const auto value = Number(cell);
      if (!value) {
        numeric = false;
        break;
      }
      values.push_back(*value);
    }
    if (!numeric) {
      if (number == 1) continue;  // the column names
      return TableProblem{number, "not a row of numbers"};
    }
    if (values.size() < axes + 1)
      return TableProblem{number, "needs " + std::to_string(axes) + " position(s) and a clock"};
    Sample sample;
    sample.line = number;
    for (std::size_t axis = 0; axis < axes; ++axis) {
      if (std::fabs(values[axis]) > kLongest) return TableProblem{number, "position out of range"};
      sample.positions.push_back(static_cast<std::int32_t>(std::lround(values[axis])));
    }
    const double clock = values.back();
    if (clock < 0 || clock > kLongest || clock != std::floor(clock))
      return TableProblem{number, "the clock must be a whole number from 0 to 2147483647"};
    sample.clock = static_cast<std::int32_t>(clock);
    const std::uint32_t step = static_cast<std::uint32_t>(sample.clock) - lastClock;
    if (sample.clock == 0 ? lastClock != 0 : !std::has_single_bit(step)) {
      const std::int64_t by = static_cast<std::int64_t>(sample.clock) - lastClock;
      return TableProblem{number, "the clock steps by " + std::to_string(by) +
                                      " from the row before; host mode takes only powers of two (64, 128, ...)"};
    }
    lastClock = static_cast<std::uint32_t>(sample.clock);
    samples.push_back(std::move(sample));
  }
  if (samples.empty()) return TableProblem{0, "holds no samples"};
  return std::nullopt;
}

}  // namespace velkor::client
