// Host-mode streaming to three paced simulated motors on an RS232 chain at
// 38400 baud: wall time as a ratio of the line time of the packets. Every
// packet's echo is checked before the next goes, so the least the line
// allows is the packet's characters and the one character time in which
// the echo of its last byte comes back. The samples go while the buffers
// fill (before the motion starts), so the line and the engine, not the
// motors' pace, set the time; a status exchange at the end makes sure every
// packet has reached the motors.
//
// (On an RS485 bus there is no echo, and the writer waits twice the line
// time of what it wrote instead, which puts that ratio near 2 by design.)

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/link/host_link.h"
#include "engine/motion/streaming.h"
#include "sim/frontend/simulator.h"

namespace {

constexpr int kBaud = 38400;
constexpr int kMotors = 3;
constexpr int kSamples = 120;    // fewer than the 127 slots, so nothing waits for room
constexpr int kPacketBytes = 6;  // address byte and the 5-byte packet

void StreamingToThreeMotors(benchmark::State& state) {
  std::string motors;
  for (int motor = 1; motor <= kMotors; ++motor) {
    motors += "motor address=" + std::to_string(motor) + " baud=38400 slots=127\n";
  }
  auto parsed = velkor::sim::ParseScenario("port chain pace\n" + motors);
  std::string error;
  auto simulator = velkor::sim::Simulator::Start(parsed.scenario, nullptr, error);
  if (!simulator) {
    state.SkipWithError(error.c_str());
    return;
  }
  auto link = std::make_shared<velkor::engine::HostLink>();
  link->settings.portName = simulator->DevicePath(0);
  link->settings.baudRate = link->settings.chainBaudRate = kBaud;
  link->Open();

  double took = 0;
  double line = 0;
  for (auto _ : state) {
    velkor::engine::motion::HostMotion motion(link);
    motion.Initialize(kMotors, kMotors);
    const auto start = std::chrono::steady_clock::now();
    for (int sample = 0; sample < kSamples; ++sample) {
      for (int motor = 1; motor <= kMotors; ++motor) motion.WritePosition(motor, sample * motor);
      motion.WriteClock(0, sample * 64);
    }
    motion.CheckStatus(1);
    took += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Per sample a packet per motor and the clock, each with its last echo;
    // then "Q" with its address byte and CR and their echo, and the answer.
    line += (kSamples * (kMotors + 1) * (kPacketBytes + 1) + 3 + 1 + 5) * 10.0 / kBaud;
  }
  const double ratio = took / line;
  state.counters["wall_to_line"] = ratio;
  state.counters["samples_per_s"] = kSamples * static_cast<double>(state.iterations()) / took;
  std::printf("host-mode streaming, %d motors at %d baud: wall time %.3f of the packets' line time (target at most 1.1)\n",
              kMotors, kBaud, ratio);
}
BENCHMARK(StreamingToThreeMotors)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
