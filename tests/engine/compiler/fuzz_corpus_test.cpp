// The compile fuzzer's seeds through the fuzzer's own checks, under the
// normal build; and the image checker itself, which must notice a broken
// image or those checks prove nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "engine/compiler/compiler.h"
#include "fuzz/compile_one_input.h"
#include "fuzz/image_check.h"

namespace {

namespace fs = std::filesystem;
using velkor::engine::compiler::Compiler;

std::vector<fs::path> CorpusFiles() {
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(VELKOR_FUZZ_CORPUS)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TestName(const testing::TestParamInfo<fs::path>& info) {
  std::string name = info.param.filename().string();
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
}

class CorpusSeed : public testing::TestWithParam<fs::path> {};

TEST_P(CorpusSeed, KeepsEveryInvariant) {
  const std::string bytes = ReadBytes(GetParam());
  const velkor::fuzz::InputReport report =
      velkor::fuzz::CompileOneInput(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  for (const std::string& violation : report.violations) ADD_FAILURE() << violation;
  // A seed named valid_ is a clean program, so the image checks ran on it;
  // every other seed is meant to exercise the diagnostics.
  EXPECT_EQ(report.imageChecked, GetParam().filename().string().starts_with("valid_"));
}

INSTANTIATE_TEST_SUITE_P(CompileFuzzCorpus, CorpusSeed, testing::ValuesIn(CorpusFiles()), TestName);

TEST(CompileFuzzCorpus, HasSeedsOfEveryKind) {
  const std::vector<fs::path> files = CorpusFiles();
  const auto count = [&](auto&& predicate) { return std::count_if(files.begin(), files.end(), predicate); };
  EXPECT_GE(count([](const fs::path& p) { return p.filename().string().starts_with("valid_"); }), 8);
  EXPECT_GE(count([](const fs::path& p) { return !p.filename().string().starts_with("valid_"); }), 6);
  EXPECT_GE(count([](const fs::path& p) { return p.extension() == ".rtf"; }), 2);
}

// One sound image, then each way of breaking it that the checker must see.
struct Breakage {
  const char* name;
  std::string (*breakImage)(std::string image);
};

std::string ReplaceFirst(std::string image, const std::string& from, const std::string& to) {
  const std::size_t at = image.find(from);
  return at == std::string::npos ? image : image.replace(at, from.size(), to);
}

std::string SoundImage() {
  Compiler compiler;
  compiler.Compile(
      "C0\nIF a==1\n  b=2\nELSE\n  b=3\nENDIF\nWHILE b\n  b=b-1\nLOOP\n"
      "SWITCH a CASE 1 BREAK DEFAULT ENDS\nGOTO0\nEND\n");
  EXPECT_EQ(compiler.Errors().ErrorCount(), 0);
  return compiler.Image();
}

TEST(CompileFuzzImageCheck, AcceptsASoundImageAndSeesEachBreakage) {
  const std::string sound = SoundImage();
  EXPECT_EQ(velkor::fuzz::CheckImage(sound, true), std::vector<std::string>{});

  const Breakage breakages[] = {
      {"wrong version", [](std::string image) { return image.replace(1, 4, "3999"); }},
      {"wrong body length", [](std::string image) { return image.replace(11, 6, "000001"); }},
      {"unreadable template address", [](std::string image) { return ReplaceFirst(image, "$I", "$I00a"); }},
      {"IF jumps to the body start", [](std::string image) {
         const std::size_t at = image.find("$I");
         return image.replace(at + 2, 4, "0000");
       }},
      {"LOOP jumps one byte late", [](std::string image) {
         const std::size_t at = image.find("$L");
         const unsigned next = std::stoul(image.substr(at + 2, 4), nullptr, 16) + 1;
         char hex[5];
         std::snprintf(hex, sizeof hex, "%04X", next);
         return image.replace(at + 2, 4, hex);
       }},
      {"template for the wrong keyword", [](std::string image) { return ReplaceFirst(image, "LE ", "LX "); }},
      {"a CR in the body", [](std::string image) { return ReplaceFirst(image, "b=2\n", "b=2\r"); }},
      {"body cut short", [](std::string image) { return image.substr(0, image.size() - 1); }},
  };
  for (const Breakage& breakage : breakages) {
    const std::string broken = breakage.breakImage(sound);
    ASSERT_NE(broken, sound) << breakage.name;
    EXPECT_FALSE(velkor::fuzz::CheckImage(broken, true).empty()) << breakage.name;
  }
}

// Long enough that the image writer fills in its templates over many rounds,
// a few of them (the first jumps, the loop around everything) only after the
// whole body.
std::string LongProgram() {
  std::string text = "GOTO900\nGOSUB901\nWHILE a<3\n";
  for (int block = 0; block < 400; ++block) {
    const std::string n = std::to_string(block);
    text += "C" + n + "\nIF a==" + n + "\n  b=1\nELSEIF a>" + n + " 'c\n  b=2\nELSE\n  b=3\nENDIF 'done\n";
    text += "SWITCH b\nCASE 1\n  BREAK\nCASE 2\nDEFAULT\nENDS\nGOTO" + std::to_string((block + 1) % 400) + "\n";
  }
  return text + "a=a+1\nLOOP\nC900\nC901\nRETURN\nEND\n";
}

TEST(CompileFuzzImageCheck, AcceptsTheImageOfALongProgram) {
  Compiler compiler;
  compiler.Compile(LongProgram());
  ASSERT_EQ(compiler.Errors().ErrorCount(), 0);
  ASSERT_GT(compiler.Program().tokens.size(), 10000u);
  EXPECT_EQ(velkor::fuzz::CheckImage(compiler.Image(), true), std::vector<std::string>{});
}

}  // namespace
