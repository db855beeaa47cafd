// A million samples of a length, a line and an arc, each made into the
// DataPairs a client receives, timed against the least any generator must
// do: write a table of that size, value by value. The ratio tells what the
// planning and the geometry cost on top of the memory traffic.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <vector>

#include "engine/motion/path_state.h"
#include "engine/motion/path_variants.h"

namespace {

using velkor::engine::motion::PathState;
using velkor::engine::motion::PathTable;

// At one length unit per clock unit from start to end, a length of
// kSteps - 1 takes that many steps: a million samples with the first.
constexpr double kSteps = 1'000'000;
constexpr double kLength = kSteps - 1;

enum class Shape { Length, Line, Arc };

PathState Cruising() {
  PathState path;
  path.SetTimeDelta(1);
  path.SetAcceleration(1);
  path.SetStartSpeed(1);
  path.SetEndSpeed(1);
  return path;
}

const PathTable& Generate(PathState& path, Shape shape) {
  switch (shape) {
    case Shape::Length: return path.CreatePath(1, kLength);
    case Shape::Line: {
      // Three axes, in the ratio 2 : 3 : 6 of a length of 7.
      const double unit = kLength / 7;
      const std::vector<double> end = {2 * unit, 3 * unit, 6 * unit};
      for (std::int32_t axis = 1; axis <= 3; ++axis) path.SetStartPoint(axis, 0);
      return path.CreateLinePath(1, end);
    }
    case Shape::Arc: {
      // A full circle about the origin.
      const double radius = kLength / (2 * std::numbers::pi);
      path.SetStartPoint(1, radius);
      path.SetStartPoint(2, 0);
      const std::vector<double> end = {radius, 0};
      const std::vector<double> center = {0, 0};
      return path.CreateArcPath(1, end, center, false);
    }
  }
  return path.Samples();
}

template <class Body>
double SecondsOf(Body&& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_PathAgainstWritingTheTable(benchmark::State& state, Shape shape) {
  double generateSeconds = 0;
  double writeSeconds = 0;
  std::size_t samples = 0;
  for (auto _ : state) {
    PathState path = Cruising();
    generateSeconds += SecondsOf([&] {
      const PathTable& table = Generate(path, shape);
      samples = table.Size();
      VARIANT pairs;
      velkor::engine::motion::StoreDataPairs(table, pairs);
      benchmark::DoNotOptimize(pairs.parray);
      VariantClear(&pairs);
    });
    const std::size_t values = samples * static_cast<std::size_t>(path.AxisCount() + 1);
    writeSeconds += SecondsOf([&] {
      std::vector<double> table;
      table.reserve(values);
      for (std::size_t i = 0; i < values; ++i) table.push_back(static_cast<double>(i));
      benchmark::DoNotOptimize(table.data());
    });
  }
  if (samples != static_cast<std::size_t>(kSteps)) state.SkipWithError("the path does not have a million samples");
  const double iterations = static_cast<double>(state.iterations());
  state.counters["samples"] = static_cast<double>(samples);
  state.counters["samples_per_s"] = static_cast<double>(samples) * iterations / generateSeconds;
  state.counters["generate_ms"] = 1000 * generateSeconds / iterations;
  state.counters["write_table_ms"] = 1000 * writeSeconds / iterations;
  state.counters["ratio_to_writing"] = generateSeconds / writeSeconds;
}
BENCHMARK_CAPTURE(BM_PathAgainstWritingTheTable, length, Shape::Length)
    ->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PathAgainstWritingTheTable, line3, Shape::Line)
    ->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_PathAgainstWritingTheTable, arc2, Shape::Arc)
    ->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
