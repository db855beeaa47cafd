// Every seed of the input fuzz targets through its target's checks: what the
// fuzzers found once stays found.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/input_checks.h"

namespace velkor::fuzz {
namespace {

namespace fs = std::filesystem;

struct Target {
  const char* corpus;
  Violations (*check)(std::span<const std::uint8_t>);
};
constexpr Target kTargets[] = {{"registry", CheckRegistryText},
                               {"profile", CheckProfileText},
                               {"sample_table", CheckSampleTable},
                               {"answer", CheckAnswers}};

// Named by their corpus in test lists, not by their bytes.
void PrintTo(const Target& target, std::ostream* out) { *out << target.corpus; }

class InputCorpus : public ::testing::TestWithParam<Target> {};

TEST_P(InputCorpus, EverySeedKeepsEveryInvariant) {
  std::vector<fs::path> seeds;
  for (const auto& entry : fs::directory_iterator(fs::path(VELKOR_FUZZ_CORPORA) / GetParam().corpus))
    if (entry.is_regular_file()) seeds.push_back(entry.path());
  ASSERT_FALSE(seeds.empty());
  std::sort(seeds.begin(), seeds.end());
  for (const fs::path& seed : seeds) {
    std::ifstream in(seed, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    for (const std::string& violation : GetParam().check(std::span(data, bytes.size())))
      ADD_FAILURE() << seed.filename() << ": " << violation;
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, InputCorpus, ::testing::ValuesIn(kTargets),
                         [](const auto& info) { return std::string(info.param.corpus); });

}  // namespace
}  // namespace velkor::fuzz
