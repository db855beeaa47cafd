#pragma once
// The table 'velkor stream' sends: one sample per row, the positions of the
// axes and then the clock, as 'velkor path' prints it. The whole table is
// checked before the first sample goes out, so that a bad row cannot stop a
// motion halfway.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::client {

struct Sample {
  std::vector<std::int32_t> positions;
  std::int32_t clock = 0;
  std::size_t line = 0;  // in the table, from 1
};

struct TableProblem {
  std::size_t line = 0;  // 0: the table as a whole
  std::string message;
};

// A first line that is not numbers (the column names) is skipped; empty
// lines too. Every other row needs `axes` positions and, last, a clock (the
// columns of further axes between them are passed over), each a
// whole number of 32 bits (positions are rounded), and the clocks must step
// as host mode takes them: each step from the row before (from 0 before the
// first row) a power of two, a clock of 0 only before any other.
std::optional<TableProblem> ParseSampleTable(std::string_view text, std::size_t axes, std::vector<Sample>& samples);

}  // namespace velkor::client
