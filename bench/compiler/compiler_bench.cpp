// The compiler on a program of 200 000 lines, timed against the least any
// tool must do with that file: read it and cut it into lines. Target: the
// compile to an image takes at most 10 times as long as that.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compiler/compiler.h"

namespace {

namespace fs = std::filesystem;
using velkor::engine::compiler::Compiler;

constexpr std::size_t kProgramLines = 200'000;
constexpr int kLabels = 1000;

// One block of the program as a motor program is written: set-up, branches,
// a loop, a case list, output, and jumps to the labels. Every constant stays
// in its range, so the program has neither errors nor warnings.
void AppendBlock(std::vector<std::string>& lines, int block) {
  const std::string n = std::to_string(block);
  if (block < kLabels) lines.push_back("C" + n);
  lines.insert(lines.end(), {
      "' block " + n + ": move, test, report",
      "a=b+c",
      "KP=" + std::to_string(100 + block % 900) + " KD=" + std::to_string(block % 3000),
      "V=" + std::to_string(block * 7) + " ' velocity",
      "A=1000",
      "P=a*-3",
      "IF a==" + std::to_string(block % 50),
      "  b=b+1",
      "ELSEIF a>" + std::to_string(block % 90),
      "  b=b-1",
      "ELSEIF a<=-" + std::to_string(block % 70),
      "  b=a/2",
      "ELSE",
      "  c=a*2",
      "ENDIF",
      "i=0",
      "WHILE i<" + std::to_string(10 + block % 20),
      "  i=i+1",
      "  IF i==5",
      "    BREAK",
      "  ENDIF",
      "LOOP",
      "SWITCH b",
      "CASE 1",
      "  d=1",
      "  BREAK",
      "CASE -2",
      "  d=2 MP G",
      "DEFAULT",
      "  d=0",
      "ENDS",
      "PRINT(\"pos=\",P,#13)",
      "al[" + std::to_string(block % 51) + "]=a ab[3]=-5",
      "IF Bt==0 GOSUB" + std::to_string((block * 37) % kLabels) + " ENDIF",
      "x=x+1 ' count the blocks",
      "GOTO" + std::to_string((block + 1) % kLabels),
  });
}

std::string GenerateProgram() {
  std::vector<std::string> lines;
  lines.reserve(kProgramLines + 64);
  for (int block = 0; lines.size() < kProgramLines - 64; ++block) AppendBlock(lines, block);
  while (lines.size() < kProgramLines - 1) lines.push_back("a=a+1");
  lines.push_back("END");
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  return text;
}

// The program file and its image, removed when the benchmark ends.
struct TemporaryFiles {
  TemporaryFiles() {
    const fs::path folder = fs::temp_directory_path();
    const std::string stem = "velkor_compiler_bench_" + std::to_string(::getpid());
    source = folder / (stem + ".txt");
    image = folder / (stem + ".vqx");
  }
  ~TemporaryFiles() {
    std::error_code ignored;
    fs::remove(source, ignored);
    fs::remove(image, ignored);
  }
  TemporaryFiles(const TemporaryFiles&) = delete;
  TemporaryFiles& operator=(const TemporaryFiles&) = delete;

  fs::path source;
  fs::path image;
};

std::string ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(0, std::ios::end);
  std::string text(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  return text;
}

std::vector<std::string_view> SplitAtLineFeeds(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

template <class Body>
double SecondsOf(Body&& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_CompileAgainstReading(benchmark::State& state) {
  TemporaryFiles files;
  {
    std::ofstream out(files.source, std::ios::binary);
    out << GenerateProgram();
  }
  Compiler compiler;
  // The first compile checks the program, and leaves the file in the page
  // cache for both measurements.
  if (!compiler.MakeImage(files.source, files.image)) {
    const auto& record = compiler.Errors().Records().front();
    state.SkipWithError(("the generated program does not compile: " + std::to_string(record.code) + " at line " +
                         std::to_string(record.line))
                            .c_str());
    return;
  }
  if (compiler.Errors().WarningCount() > 0) state.SkipWithError("the generated program has warnings");

  double readSeconds = 0;
  double compileSeconds = 0;
  std::size_t lineCount = 0;
  for (auto _ : state) {
    readSeconds += SecondsOf([&] {
      const std::string text = ReadWhole(files.source);
      const std::vector<std::string_view> lines = SplitAtLineFeeds(text);
      lineCount = lines.size();
      benchmark::DoNotOptimize(lines.data());
    });
    compileSeconds += SecondsOf([&] { benchmark::DoNotOptimize(compiler.MakeImage(files.source, files.image)); });
  }
  if (lineCount != kProgramLines) state.SkipWithError("the program file does not have its line count");
  const double iterations = static_cast<double>(state.iterations());
  state.counters["read_split_ms"] = 1000 * readSeconds / iterations;
  state.counters["make_image_ms"] = 1000 * compileSeconds / iterations;
  state.counters["lines_per_s"] = static_cast<double>(kProgramLines) * iterations / compileSeconds;
  state.counters["ratio_compile_to_read"] = compileSeconds / readSeconds;
  state.counters["image_bytes"] = static_cast<double>(fs::file_size(files.image));
}
BENCHMARK(BM_CompileAgainstReading)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
