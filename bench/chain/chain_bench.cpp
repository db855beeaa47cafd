// Chain address set-up of three motors and detection on an empty port, each
// as the ratio of its wall time to the waits and time-outs that the
// algorithm itself prescribes for that run (target: at most 1.2). The
// simulator is unpaced, so the line adds nothing the waits do not cover:
// what is left over is the engine's own overhead.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "sim/frontend/simulator.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"

namespace {

using velkor::Bstr;
using velkor::ComPtr;

// The line as the host link sets it up by default: 9600 baud, 8 data bits,
// no parity, one stop bit, echo read time-out constant 100 ms.
constexpr long long kBitsPerCharacter = 9;  // start bit + 8 data bits, as the link counts them
constexpr long long kChainRate = 9600;
constexpr long long kEchoConstant = 100;
constexpr long long kSettle = 50;

// A send with echo off waits twice the bytes' line time.
long long Silent(long long bytes, long long rate) { return (kBitsPerCharacter * bytes * 2000 + rate - 1) / rate; }
// An echo that never comes is awaited for n bytes at the computed multiplier.
long long EchoTimeout(long long bytes, long long maxMotors) {
  return bytes * ((maxMotors + 1) * 12000 / kChainRate) + kEchoConstant;
}
// Address byte, text, CR.
long long Sent(const std::string& text) { return 1 + static_cast<long long>(text.size()) + 1; }

// One pass of the rate walk from `rate`, then the echo check's three sends at 2400.
long long RateWalk(long long& rate) {
  long long waited = 0;
  for (long long next : {38400, 9600, 19200, 4800, 2400}) {
    waited += 2 * Silent(Sent("WAKE"), rate) + Silent(Sent("BAUD" + std::to_string(next)), rate);
    rate = next;
  }
  return waited + 2 * Silent(Sent("WAKE"), rate) + Silent(Sent("ECHO"), rate);
}

// Rate synchronisation with `passes` walks, up to the final echo check.
long long Synchronisation(int passes) {
  long long rate = kChainRate, waited = 0;
  for (int pass = 0; pass < passes; ++pass) waited += RateWalk(rate);
  waited += Silent(Sent("BAUD9600"), rate);
  return waited + Silent(Sent("OCHN(RS2,0,N,9600,1,8,C)"), kChainRate) + kSettle;
}

// Chain set-up of `motors`: every motor but the last costs an echo that does not come.
long long ChainSetUp(int motors, int maxMotors) {
  long long waited = Synchronisation(1);
  for (int n = 1; n <= motors; ++n) waited += Silent(Sent("SADDR" + std::to_string(n)), kChainRate) + Silent(Sent("ECHO"), kChainRate);
  return waited + (motors - 1) * EchoTimeout(Sent("SLEEP"), maxMotors);
}

// Detection on an empty port: every walk fails, then so does the final echo check.
long long EmptyDetection(int maxAddress) { return Synchronisation(maxAddress) + EchoTimeout(Sent("ECHO"), maxAddress); }

struct Host {
  Host() {
    if (velkor::CreateObject("VNXEngine.VNXHost", IID_IVNXComm, comm.OutVoid()) != S_OK) std::abort();
  }
  void Open(const std::string& device) {
    Bstr name(device);
    if (comm->OpenPort(name.get()) != S_OK) std::abort();
  }
  ComPtr<IVNXComm> comm;
};

std::unique_ptr<velkor::sim::Simulator> Start(const std::string& scenario) {
  std::string error;
  auto simulator = velkor::sim::Simulator::Start(velkor::sim::ParseScenario(scenario).scenario, nullptr, error);
  if (!simulator) {
    std::fprintf(stderr, "simulator: %s\n", error.c_str());
    std::abort();
  }
  return simulator;
}

void Report(benchmark::State& state, double wallMs, long long prescribedMs) {
  const double iterations = static_cast<double>(state.iterations());
  state.counters["wall_ms"] = wallMs / iterations;
  state.counters["prescribed_ms"] = static_cast<double>(prescribedMs);
  state.counters["ratio"] = wallMs / iterations / static_cast<double>(prescribedMs);
}

void BM_ChainSetUpOfThree(benchmark::State& state) {
  velkor::testing::TemporaryRegistry registry;
  auto simulator = Start("port chain\nmotor serial=A1\nmotor serial=A2\nmotor serial=A3\n");
  Host host;
  host.Open(simulator->DevicePath(0));
  double wallMs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    LONG count = 0;
    if (host.comm->AddressMotorChain(&count) != S_OK || count != 3) state.SkipWithError("set-up failed");
    wallMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  Report(state, wallMs, ChainSetUp(3, 10));
}
BENCHMARK(BM_ChainSetUpOfThree)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DetectionOnEmptyPort(benchmark::State& state) {
  velkor::testing::TemporaryRegistry registry;
  auto simulator = Start("port chain\n");
  Host host;
  host.Open(simulator->DevicePath(0));
  const int maxAddress = static_cast<int>(state.range(0));
  double wallMs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    LONG result = 0;
    if (host.comm->DetectRS232(maxAddress, 0, &result) != S_OK || result != 64) state.SkipWithError("not empty");
    wallMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  }
  Report(state, wallMs, EmptyDetection(maxAddress));
}
BENCHMARK(BM_DetectionOnEmptyPort)->Arg(10)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
