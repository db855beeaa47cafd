// Commands with answers, and a 1 KiB memory block read, against a paced
// simulated motor (every character takes its 10 bit times). Each figure is
// printed as the ratio of the line's own time for the same characters to
// the time the engine took; 1.0 would be the line's limit.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/link/host_link.h"
#include "engine/motor/motor_memory.h"
#include "engine/motor/motor_record.h"
#include "sim/frontend/simulator.h"

namespace {

using velkor::engine::HostLink;
using velkor::engine::LinkType;
using velkor::engine::MotorRecord;

// One motor at the rate on an echoing RS232 line, paced, and a link to it.
struct PacedMotor {
  std::unique_ptr<velkor::sim::Simulator> simulator;
  std::shared_ptr<HostLink> link;
  std::shared_ptr<MotorRecord> motor;

  explicit PacedMotor(int baud) {
    auto parsed = velkor::sim::ParseScenario("port chain pace\nmotor address=1 baud=" + std::to_string(baud) + "\n");
    std::string error;
    simulator = velkor::sim::Simulator::Start(parsed.scenario, nullptr, error);
    if (!simulator) return;
    link = std::make_shared<HostLink>();
    link->settings.portName = simulator->DevicePath(0);
    link->settings.baudRate = link->settings.chainBaudRate = baud;
    link->settings.linkType = LinkType::RS232;
    link->Open();
    link->SelectMotor(1);
    motor = std::make_shared<MotorRecord>(1, link);
  }
};

// The line's time for one command and its answer on an echoing line: the
// first character has to come in before its echo can go out; then the echo
// of every character and the answer follow back to back.
double LineSeconds(std::size_t commandCharacters, std::size_t answerCharacters, int baud) {
  return static_cast<double>(1 + commandCharacters + answerCharacters) * 10.0 / baud;
}

double Seconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double>(elapsed).count();
}

void Report(benchmark::State& state, const char* what, int baud, double lineSeconds, double tookSeconds) {
  const double ratio = lineSeconds / tookSeconds;
  state.counters["ratio_to_line"] = ratio;
  std::printf("%s at %d baud: %.3f of the line's limit\n", what, baud, ratio);
}

void CommandsWithAnswers(benchmark::State& state) {
  const int baud = static_cast<int>(state.range(0));
  PacedMotor paced(baud);
  if (!paced.motor) {
    state.SkipWithError("no simulator");
    return;
  }
  double line = 0, took = 0;
  std::size_t commands = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::string answer = paced.motor->Ask("RP");  // "RP" CR, echoed, then the position and CR
    took += Seconds(std::chrono::steady_clock::now() - start);
    line += LineSeconds(3, answer.size() + 1, baud);
    ++commands;
    benchmark::DoNotOptimize(answer);
  }
  state.counters["commands_per_s"] = static_cast<double>(commands) / took;
  Report(state, "Commands with answers", baud, line, took);
}
BENCHMARK(CommandsWithAnswers)->Arg(9600)->Arg(38400)->Iterations(150)->UseRealTime()->Unit(benchmark::kMillisecond);

// The command lines and answers of a block read, as the motor saw them,
// for the line time: what the routine sends is fixed by the block length,
// and every answer is the decimal text of a long the motor holds.
double BlockLineSeconds(PacedMotor& paced, std::int32_t address, std::size_t length, int baud) {
  const std::size_t longs = (length + 3) / 4;
  std::vector<std::uint8_t> memory(longs * 4);
  paced.simulator->WithMotor(0, 0, [&](velkor::sim::Firmware& m) { m.Memory().Read(address, memory); });
  double seconds = 0;
  const std::size_t variables = std::min<std::size_t>(longs, 10);
  for (std::size_t i = 0; i < variables; ++i) seconds += LineSeconds(5, 2, baud);  // "Raaa", "0"
  seconds += LineSeconds(("EPTR=" + std::to_string(address)).size() + 1, 0, baud);
  for (std::size_t done = 0; done < longs; done += 10) {
    const std::size_t count = std::min<std::size_t>(longs - done, 10);
    seconds += LineSeconds(("VLD(aaa," + std::to_string(count) + ")").size() + 1, 0, baud);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = (done + i) * 4;
      const auto value = static_cast<std::int32_t>((std::uint32_t{memory[at]} << 24) | (std::uint32_t{memory[at + 1]} << 16) |
                                                   (std::uint32_t{memory[at + 2]} << 8) | memory[at + 3]);
      seconds += LineSeconds(5, std::to_string(value).size() + 1, baud);
    }
  }
  for (std::size_t i = 0; i < variables; ++i) seconds += LineSeconds(6, 0, baud);  // "aaa=0"
  return seconds;
}

void KibibyteBlockRead(benchmark::State& state) {
  const int baud = static_cast<int>(state.range(0));
  PacedMotor paced(baud);
  if (!paced.motor) {
    state.SkipWithError("no simulator");
    return;
  }
  constexpr std::int32_t kAddress = 4096;
  std::vector<std::uint8_t> block(1024);
  double took = 0;
  std::size_t reads = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    velkor::engine::ReadMotorBlock(*paced.motor, kAddress, block);
    took += Seconds(std::chrono::steady_clock::now() - start);
    ++reads;
  }
  Report(state, "1 KiB block read", baud, BlockLineSeconds(paced, kAddress, block.size(), baud) * static_cast<double>(reads), took);
}
BENCHMARK(KibibyteBlockRead)->Arg(9600)->Arg(38400)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
