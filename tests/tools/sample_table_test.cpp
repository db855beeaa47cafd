// The table velkor stream sends, checked whole before the first sample.

#include <gtest/gtest.h>

#include "tools/velkor/sample_table.h"

namespace velkor::client {
namespace {

TEST(SampleTable, ReadsRowsAfterTheColumnNames) {
  std::vector<Sample> samples;
  ASSERT_FALSE(ParseSampleTable("x,y,clock\r\n0,0,0\n\n10.4,-3.6,128\n20,9,5,384\n", 2, samples));
  ASSERT_EQ(samples.size(), 3u);
  EXPECT_EQ(samples[1].positions, (std::vector<std::int32_t>{10, -4}));
  EXPECT_EQ(samples[1].clock, 128);
  EXPECT_EQ(samples[1].line, 4u);
  EXPECT_EQ(samples[2].clock, 384) << "the clock is the last column";
}

TEST(SampleTable, RefusesWhatHostModeWouldRefuseHalfway) {
  struct Case {
    const char* table;
    std::size_t line;
    const char* message;
  };
  const Case cases[] = {
      {"0,0\n1,128\n2,320\n", 3, "the clock steps by 192 from the row before"},
      {"0,64\n1,64\n", 2, "the clock steps by 0"},
      {"5,128\n6,0\n", 2, "the clock steps by -128"},
      {"0,1e30\n", 1, "the clock must be a whole number from 0 to 2147483647"},
      {"0,-64\n", 1, "the clock must be a whole number"},
      {"0,64.5\n", 1, "the clock must be a whole number"},
      {"3e9,64\n", 1, "position out of range"},
      {"0,64\nnan,128\n", 2, "not a row of numbers"},
      {"0,64\n7\n", 2, "needs 1 position(s) and a clock"},
      {"x,clock\n", 0, "holds no samples"},
  };
  for (const Case& c : cases) {
    std::vector<Sample> samples;
    const auto problem = ParseSampleTable(c.table, 1, samples);
    ASSERT_TRUE(problem) << c.table;
    EXPECT_EQ(problem->line, c.line) << c.table;
    EXPECT_NE(problem->message.find(c.message), std::string::npos) << c.table << ": " << problem->message;
  }
}

}  // namespace
}  // namespace velkor::client
