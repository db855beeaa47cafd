// The status poll while the live plot is open, against a paced simulated
// motor on an RS232 chain at 9600 and 38400 baud: samples per second as a
// ratio of what the line allows for its questions and answers (target at
// least 0.9). The motor holds a position of six digits, so that the answers
// are as long as on a machine.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "bench/setup/paced_motor.h"
#include "setup/live/plot_poll.h"
#include "tests/support/test_environment.h"

namespace {

using namespace velkor::setup;

void PollWithThePlotOpen(benchmark::State& state) {
  const int baud = static_cast<int>(state.range(0));
  velkor::testing::TemporaryRegistry registry;
  auto motor = velkor::bench::StartPacedMotor(baud);
  if (!motor) {
    state.SkipWithError("no simulated motor or no engine");
    return;
  }
  auto& simulator = motor.simulator;
  simulator->WithMotor(0, 0, [](velkor::sim::Firmware& firmware) { return firmware.Command("O=123456"); });
  velkor::bench::CountingChannel channel(motor.host, 1);
  LiveState live;
  live.pollingOn = true;
  live.selectedAddress = 1;
  AxisSettings settings;
  View view;

  double rate = 0, allowed = 0;
  for (auto _ : state) {
    simulator->TakeHostBytes(0);
    channel.answered = 0;
    std::size_t samples = 0;
    double first = 0, last = 0;
    const double start = SteadySeconds();
    PlotBurst(live, settings, channel, view, SteadySeconds, [&] { return SteadySeconds() - start >= 3; },
              [&](std::vector<Sample> taken) {
                if (taken.empty()) return;
                if (samples == 0) first = taken.front().time;
                last = taken.back().time;
                samples += taken.size();
              });
    const double wall = SteadySeconds() - start;
    const double line = velkor::bench::LineSeconds(simulator->TakeHostBytes(0), channel.answered, baud);
    rate = samples > 1 ? static_cast<double>(samples - 1) / (last - first) : 0;
    allowed = static_cast<double>(samples) / line;
    state.counters["samples_per_s"] = rate;
    state.counters["line_allows_per_s"] = allowed;
    state.counters["ratio"] = wall > 0 ? line / wall : 0;
  }
  std::printf("plot poll at %d baud: %.1f samples/s, the line allows %.1f: ratio %.3f (target at least 0.9)\n", baud,
              rate, allowed, allowed > 0 ? rate / allowed : 0);
}
BENCHMARK(PollWithThePlotOpen)->Arg(9600)->Arg(38400)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
