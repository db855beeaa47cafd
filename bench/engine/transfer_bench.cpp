// A 4 KiB program image downloaded host-level to a paced simulated motor on
// an echoing RS232 line: wall time as a ratio of the line's own time for
// the image's pieces with their echoes and the few commands around them.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "engine/link/host_link.h"
#include "engine/motor/host_transfer.h"
#include "engine/motor/program_image.h"
#include "platform/files/whole_file.h"
#include "sim/frontend/simulator.h"

namespace {

using velkor::engine::HostLink;

constexpr std::size_t kImageSize = 4096;

std::string FourKibibyteImage() {
  std::string body;
  while (body.size() + 27 + 16 + 4 < kImageSize) body += "a=a+1\n";
  body += "END\n";
  body.resize(kImageSize - 27 - 16, '\n');
  std::int32_t sum = 0;
  for (char c : body) sum += static_cast<signed char>(c);
  char header[32];
  std::snprintf(header, sizeof header, "$4000%06X%06X", static_cast<unsigned>(sum) & 0xFFFFFFu,
                static_cast<unsigned>(body.size()));
  return std::string(header) + "00000000040000000000000000" + body;  // no labels
}

// What the line needs at the least: a piece of n bytes takes n character
// times in and the last echo one more; a command of k characters with its
// address byte and CR takes k + 3, an answer its characters and CR.
double LineSeconds(std::size_t imageSize, int baud) {
  double characters = 0;
  for (std::size_t sent = 0; sent < imageSize; sent += 8) characters += std::min<std::size_t>(8, imageSize - sent) + 1;
  characters += 3 + 1;  // the end marker
  for (const char* command : {"RCKS", "SLEEP", "WAKE", "END", "LOAD", "WAKE"}) characters += std::string(command).size() + 3;
  characters += 16;  // the checksum answer and its CR
  return characters * 10.0 / baud;
}

void FourKibibyteDownload(benchmark::State& state) {
  const int baud = static_cast<int>(state.range(0));
  auto parsed = velkor::sim::ParseScenario("port chain pace\nmotor address=1 baud=" + std::to_string(baud) + "\n");
  std::string error;
  auto simulator = velkor::sim::Simulator::Start(parsed.scenario, nullptr, error);
  if (!simulator) {
    state.SkipWithError(error.c_str());
    return;
  }
  HostLink link;
  link.settings.portName = simulator->DevicePath(0);
  link.settings.baudRate = link.settings.chainBaudRate = baud;
  link.Open();
  link.SelectMotor(1);

  const std::string image = FourKibibyteImage();
  const auto file = std::filesystem::temp_directory_path() / ("velkor-bench-" + std::to_string(::getpid()) + ".vqx");
  velkor::files::ReplaceFile(file, image);
  double took = 0;
  std::size_t downloads = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    velkor::engine::transfer::HostDownload(link, 1, 1, file);
    took += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++downloads;
  }
  std::filesystem::remove(file);
  const double ratio = took / (LineSeconds(image.size(), baud) * static_cast<double>(downloads));
  state.counters["wall_to_line"] = ratio;
  std::printf("4 KiB download at %d baud: wall time %.3f of the line time (target at most 1.15)\n", baud, ratio);
}
BENCHMARK(FourKibibyteDownload)->Arg(9600)->Arg(38400)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
