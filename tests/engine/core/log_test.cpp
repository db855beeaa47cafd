#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "engine/core/log.h"
#include "tests/support/test_environment.h"

namespace log = velkor::engine::log;
using velkor::testing::ReadFile;
using velkor::testing::WriteFile;

namespace {
class LogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    log::SetFlags(0);
    log::SetFileName("");
  }
  velkor::testing::TemporaryFolder folder_;
};
}  // namespace

TEST_F(LogTest, WritesTimeStampedLinesForEnabledCategoriesOnly) {
  log::SetFileName((folder_ / "a.log").string());
  log::SetFlags(log::kComm | log::kPath);
  log::Write(log::kComm, "one");
  log::Write(log::kMotor, "not enabled");
  log::Write(log::kPath, "two");
  EXPECT_TRUE(std::regex_match(ReadFile(folder_ / "a.log"),
                               std::regex(R"(\d\d:\d\d:\d\d\.\d{3} one\n\d\d:\d\d:\d\d\.\d{3} two\n)")))
      << ReadFile(folder_ / "a.log");
}

TEST_F(LogTest, TruncatesUnlessAppendIsSetAndANewNameClosesTheFile) {
  WriteFile(folder_ / "a.log", "old line\n");
  WriteFile(folder_ / "b.log", "kept line\n");
  log::SetFileName((folder_ / "a.log").string());
  log::SetFlags(log::kComm);
  log::Write(log::kComm, "first");
  EXPECT_EQ(ReadFile(folder_ / "a.log").find("old line"), std::string::npos);

  log::SetFlags(log::kComm | log::kAppend);
  log::SetFileName((folder_ / "b.log").string());
  log::Write(log::kComm, "second");
  EXPECT_EQ(ReadFile(folder_ / "a.log").find("second"), std::string::npos);
  const std::string b = ReadFile(folder_ / "b.log");
  EXPECT_EQ(b.rfind("kept line\n", 0), 0u);
  EXPECT_NE(b.find("second"), std::string::npos);
}

TEST_F(LogTest, CloseRequestClosesAndTheNextLineReopens) {
  log::SetFileName((folder_ / "a.log").string());
  log::SetFlags(log::kScan);
  log::Write(log::kScan, "before");
  log::Write(log::kCloseRequest, "");
  std::filesystem::remove(folder_ / "a.log");
  log::Write(log::kScan, "after");
  const std::string text = ReadFile(folder_ / "a.log");
  EXPECT_NE(text.find("after"), std::string::npos);
  EXPECT_EQ(text.find("before"), std::string::npos);
}

TEST_F(LogTest, UnopenableFileSuppressesLinesUntilItCanBeOpened) {
  const auto folder = folder_ / "later";
  log::SetFileName((folder / "engine.log").string());
  log::SetFlags(log::kComm);
  log::Write(log::kComm, "lost");  // the folder does not exist yet
  std::filesystem::create_directory(folder);
  log::Write(log::kComm, "found");
  const std::string text = ReadFile(folder / "engine.log");
  EXPECT_NE(text.find("found"), std::string::npos);
  EXPECT_EQ(text.find("lost"), std::string::npos);

  log::SetFileName("");
  log::Write(log::kComm, "nowhere");  // no name: nothing, and no failure
}

TEST_F(LogTest, LinesFromManyThreadsStayWhole) {
  log::SetFileName((folder_ / "a.log").string());
  log::SetFlags(log::kComm);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < 200; ++i) log::Write(log::kComm, "thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  for (auto& thread : threads) thread.join();
  std::istringstream lines(ReadFile(folder_ / "a.log"));
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_TRUE(std::regex_match(line, std::regex(R"(\d\d:\d\d:\d\d\.\d{3} thread \d line \d+)"))) << line;
  }
  EXPECT_EQ(count, 800);
}
