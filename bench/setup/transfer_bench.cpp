// A settings download and an upload against a paced simulated motor at
// 9600 baud, through the engine as the setup application uses it: wall time
// as a ratio of what the sequence must take at the least, its prescribed
// pauses plus the line time of its bytes.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "bench/setup/paced_motor.h"
#include "engine/compiler/compiler.h"
#include "platform/files/whole_file.h"
#include "setup/transfer/engine_channel.h"
#include "setup/transfer/settings_download.h"
#include "setup/transfer/settings_upload.h"
#include "sim/frontend/simulator.h"
#include "velkor/automation.h"

namespace {

using namespace velkor::setup;
constexpr int kBaud = 9600;

// Real pauses, summed.
class SummingClock : public Clock {
 public:
  void Sleep(std::chrono::milliseconds pause) override {
    total += pause;
    sleeping.Sleep(pause);
  }
  std::chrono::milliseconds total{0};
  SleepingClock sleeping;
};

using velkor::bench::CountingChannel;

void SettingsRoundTrip(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / ("velkor-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  ::setenv("VELKOR_REGISTRY", (folder / "user.reg").c_str(), 1);
  auto motor = velkor::bench::StartPacedMotor(kBaud);
  if (!motor) {
    state.SkipWithError("no simulated motor or no engine");
    return;
  }
  auto& simulator = motor.simulator;
  velkor::engine::compiler::Compiler compiler;
  compiler.Compile("a=1\nEND\n");
  const auto program = folder / "Fenwa.vqx";
  velkor::files::ReplaceFile(program, compiler.Image());
  CountingChannel channel(motor.host, 1);
  View view;
  AxisSettings settings;
  settings.motorInfo[3] = settings.encoderResText;
  // The program goes in first, so that what is measured is the data alone.
  RecordingClock quick;
  SettingsDownload(settings, {program, "1", "bench.adf", "now"}, channel, quick, view);

  double download = 0, upload = 0;
  for (auto _ : state) {
    auto take = [&](auto&& transfer, double& ratio) {
      SummingClock clock;
      channel.answered = 0;
      simulator->WithLine(0, [](velkor::sim::Line& line) { return line.TakeHostBytes(); });
      const auto start = std::chrono::steady_clock::now();
      transfer(clock);
      const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const std::string sent = simulator->WithLine(0, [](velkor::sim::Line& line) { return line.TakeHostBytes(); });
      ratio = wall / (std::chrono::duration<double>(clock.total).count() + velkor::bench::LineSeconds(sent, channel.answered, kBaud));
    };
    take([&](Clock& clock) { SettingsDownload(settings, {program, "1", "bench.adf", "now"}, channel, clock, view); },
         download);
    take([&](Clock& clock) { SettingsUpload(settings, {"1"}, channel, clock, view); }, upload);
  }
  state.counters["download_ratio"] = download;
  state.counters["upload_ratio"] = upload;
  std::printf("settings at %d baud: download %.3f, upload %.3f of pauses plus line time (target at most 1.05)\n",
              kBaud, download, upload);
  std::filesystem::remove_all(folder);
}
BENCHMARK(SettingsRoundTrip)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
