// A scan of three ports (a chain of two motors, one motor, one silent
// motor) as the ratio of its wall time to the slowest of the three ports
// scanned alone (target: at most 1.2). The ports are probed at the same
// time, so the ports that answer should hide behind the one that waits out
// its time-outs. The text records are read with their real pauses.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "setup/live/scan.h"
#include "sim/frontend/registry_directory.h"
#include "sim/frontend/simulator.h"
#include "tests/support/test_environment.h"

namespace {

using Clock = std::chrono::steady_clock;

double ScanMs(const std::vector<int>& ports, std::size_t expectedMotors, benchmark::State& state) {
  velkor::setup::MotorScan scan;
  velkor::setup::View view;  // nothing shown
  const auto start = Clock::now();
  scan.Run({ports, nullptr}, view);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (scan.Motors().size() != expectedMotors) state.SkipWithError("the scan found other motors");
  return ms;
}

void BM_ScanOfThreePortsOneSilent(benchmark::State& state) {
  velkor::testing::TemporaryRegistry registry;
  velkor::sim::RegistryPortDirectory directory;
  std::string error;
  auto simulator = velkor::sim::Simulator::Start(velkor::sim::ParseScenario("port chain\nmotor\nmotor\n"
                                                                            "port chain\nmotor\n"
                                                                            "port chain\nmotor\nfault motor=1 silent\n")
                                                     .scenario,
                                                 &directory, error);
  if (!simulator) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    std::abort();
  }
  std::vector<int> ports;
  for (std::size_t p = 0; p < simulator->PortCount(); ++p) ports.push_back(std::stoi(simulator->PortName(p).substr(3)));
  const std::size_t motors[] = {2, 1, 0};

  double aloneMs[3] = {}, wallMs = 0;
  for (auto _ : state) {
    for (std::size_t p = 0; p < ports.size(); ++p) aloneMs[p] = ScanMs({ports[p]}, motors[p], state);
    wallMs = ScanMs(ports, 3, state);
  }
  const double slowestMs = *std::max_element(std::begin(aloneMs), std::end(aloneMs));
  state.counters["wall_ms"] = wallMs;
  state.counters["slowest_port_ms"] = slowestMs;
  state.counters["ratio"] = wallMs / slowestMs;
  std::printf("ports alone: %.0f ms (two motors), %.0f ms (one), %.0f ms (silent); all three at once: %.0f ms;"
              " ratio %.3f (target <= 1.2)\n",
              aloneMs[0], aloneMs[1], aloneMs[2], wallMs, wallMs / slowestMs);
}
BENCHMARK(BM_ScanOfThreePortsOneSilent)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
