#include <bit>
#include <string_view>

#include "fuzz/input_checks.h"
#include "tools/velkor/sample_table.h"

namespace velkor::fuzz {

Violations CheckSampleTable(std::span<const std::uint8_t> bytes) {
  Violations violations;
  if (bytes.empty()) return violations;
  const std::size_t axes = 1 + bytes[0] % 6;
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()) + 1, bytes.size() - 1);
  std::vector<client::Sample> samples;
  const auto problem = client::ParseSampleTable(text, axes, samples);
  if (problem) return violations;
  if (samples.empty()) violations.push_back("a table without samples was accepted");
  std::uint32_t last = 0;
  std::size_t line = 0;
  for (const client::Sample& sample : samples) {
    if (sample.positions.size() != axes) violations.push_back("a sample with the wrong number of positions");
    if (sample.clock < 0) violations.push_back("a negative clock");
    const std::uint32_t step = static_cast<std::uint32_t>(sample.clock) - last;
    if (sample.clock != 0 && !std::has_single_bit(step)) violations.push_back("a clock step host mode refuses");
    if (sample.clock == 0 && last != 0) violations.push_back("a clock of 0 after others");
    if (sample.line <= line) violations.push_back("line numbers out of order");
    last = static_cast<std::uint32_t>(sample.clock);
    line = sample.line;
  }
  return violations;
}

}  // namespace velkor::fuzz
