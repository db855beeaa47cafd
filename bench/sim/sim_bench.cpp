// The simulator's own speed: how long a motor takes to answer when nothing
// holds it back, and, paced, how close a 100-byte exchange comes to the time
// those bytes need on the line (target: within 5 %).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "sim/frontend/simulator.h"

namespace {

using velkor::sim::Firmware;
using velkor::sim::MotorConfig;
using velkor::sim::ParseScenario;
using velkor::sim::Simulator;

class Host {
 public:
  Host(const std::string& device, speed_t speed) : fd_(::open(device.c_str(), O_RDWR | O_NOCTTY)) {
    termios settings{};
    ::tcgetattr(fd_, &settings);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    ::tcsetattr(fd_, TCSANOW, &settings);
  }
  ~Host() { ::close(fd_); }
  bool Write(const std::string& bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Reads until `count` bytes have come; false on a 5 s silence.
  bool Read(std::size_t count) {
    std::size_t got = 0;
    char buffer[512];
    while (got < count) {
      pollfd fd{fd_, POLLIN, 0};
      if (::poll(&fd, 1, 5000) <= 0) return false;
      ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return false;
      got += static_cast<std::size_t>(n);
    }
    return true;
  }

 private:
  int fd_;
};

std::unique_ptr<Simulator> Start(const std::string& text) {
  std::string error;
  return Simulator::Start(ParseScenario(text).scenario, nullptr, error);
}

void FirmwareCommand(benchmark::State& state) {
  MotorConfig config;
  config.address = 1;
  Firmware motor(config);
  for (auto _ : state) benchmark::DoNotOptimize(motor.Command("RBe"));
}
BENCHMARK(FirmwareCommand);

// Write a command, read its echo and answer through the pseudo-terminal.
void UnpacedAnswerLatency(benchmark::State& state) {
  auto simulator = Start("port chain\nmotor address=1\n");
  if (!simulator) {
    state.SkipWithError("no simulator");
    return;
  }
  Host host(simulator->DevicePath(0), B9600);
  const std::string command = "\x81RBe\r";
  for (auto _ : state) {
    if (!host.Write(command) || !host.Read(command.size() + 2)) {
      state.SkipWithError("no answer");
      return;
    }
  }
}
BENCHMARK(UnpacedAnswerLatency)->Unit(benchmark::kMicrosecond);

// 100 bytes of commands written at once and their echo read back, paced at
// the line rate; the figure is the ratio of the time taken to the time 100
// characters of 10 bits need on the line.
void PacedExchange(benchmark::State& state) {
  const int baud = static_cast<int>(state.range(0));
  auto simulator = Start("port chain pace\nmotor address=1 baud=" + std::to_string(baud) + "\n");
  if (!simulator) {
    state.SkipWithError("no simulator");
    return;
  }
  Host host(simulator->DevicePath(0), baud == 38400 ? B38400 : B9600);
  std::string exchange;
  while (exchange.size() < 100) exchange += "a=12345678\r";
  exchange.resize(99);
  exchange += "\r";
  const double lineTime = 100.0 * 10.0 / baud;
  double ratioSum = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    if (!host.Write(exchange) || !host.Read(exchange.size())) {
      state.SkipWithError("no echo");
      return;
    }
    double taken = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(taken);
    ratioSum += taken / lineTime;
  }
  state.counters["line_time_ms"] = lineTime * 1000;
  state.counters["ratio_to_line_time"] = ratioSum / static_cast<double>(state.iterations());
}
BENCHMARK(PacedExchange)->Arg(9600)->Arg(38400)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
