#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/client_process.h"
#include "tests/support/test_environment.h"

using velkor::testing::RunClient;

namespace {

using Rows = std::vector<std::vector<double>>;

// The rows of numbers after the header line.
Rows Parse(const std::string& csv) {
  Rows rows;
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    std::vector<double> row;
    std::istringstream cells(line);
    std::string cell;
    while (std::getline(cells, cell, ',')) row.push_back(std::stod(cell));
    rows.push_back(row);
  }
  return rows;
}

class PathClientTest : public ::testing::Test {
 protected:
  velkor::testing::TemporaryRegistry registry_;
};

const std::string kMotion = " --time-delta 10 --acceleration 1 --max-speed 10";

}  // namespace

TEST_F(PathClientTest, PrintsALengthAsCsvWithItsClock) {
  auto run = RunClient("path length" + kMotion + " --length 1000 --start-clock 100 --create");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output,
            "axis1,clock\n0,100\n50,110\n150,120\n250,130\n350,140\n450,150\n550,160\n650,170\n750,180\n850,190\n"
            "950,200\n1000,210\n");

  run = RunClient("path length" + kMotion + " --length 1000");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.substr(0, 20), "axis1,clock\n50,10\n15") << "without --create the start sample is left out";
  EXPECT_EQ(Parse(run.output).size(), 11u);
}

TEST_F(PathClientTest, LinesAndArcsGiveAColumnPerAxis) {
  auto run = RunClient("path line" + kMotion + " --start 0,0 --to 300,400");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output.substr(0, run.output.find('\n')), "axis1,axis2,clock");
  Rows rows = Parse(run.output);
  ASSERT_FALSE(rows.empty());
  EXPECT_NEAR(rows.back()[0], 300, 1e-9);
  EXPECT_NEAR(rows.back()[1], 400, 1e-9);

  const std::string arc = "path arc --time-delta 1 --acceleration 1 --max-speed 2 --start 10,0 --to 0,10 --center 0,0";
  run = RunClient(arc);
  ASSERT_EQ(run.status, 0) << run.output;
  const Rows quarter = Parse(run.output);
  run = RunClient(arc + " --clockwise --create");
  ASSERT_EQ(run.status, 0) << run.output;
  rows = Parse(run.output);
  EXPECT_GT(rows.size(), 2 * quarter.size()) << "the clockwise way is three quarters";
  EXPECT_EQ(rows.front(), (std::vector<double>{10, 0, 0}));
  EXPECT_LT(rows[1][1], 0) << "clockwise from (10, 0) goes down first";
  EXPECT_NEAR(rows.back()[0], 0, 1e-9);
  EXPECT_NEAR(rows.back()[1], 10, 1e-9);

  run = RunClient("path arc --time-delta 1 --acceleration 1 --max-speed 2 --plane 1 --start 10,0,0 --to 0,5,10 "
                  "--center 0,0,0");
  ASSERT_EQ(run.status, 0) << run.output;
  rows = Parse(run.output);
  EXPECT_NEAR(rows.back()[1], 5, 1e-9) << "axis 2 is the helix's rise in plane 1";
}

TEST_F(PathClientTest, ExplainsWhatIsMissingOrRefused) {
  auto run = RunClient("path line --to 1,2");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("--time-delta and --max-speed"), std::string::npos) << run.output;

  run = RunClient("path circle" + kMotion);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("not 'circle'"), std::string::npos) << run.output;

  run = RunClient("path line" + kMotion + " --to 1,2,3,4,5,6,7");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("--to needs one to six numbers"), std::string::npos) << run.output;

  run = RunClient("path length --time-delta 10 --acceleration 1 --max-speed 0 --length 5");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("velkor: path: Invalid Data! (engine error 19)"), std::string::npos) << run.output;

  run = RunClient("path arc" + kMotion + " --plane 5 --to 0,1 --center 0,0");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("velkor: --plane: Invalid Data!"), std::string::npos) << run.output;

  run = RunClient("path length --time-delta 1 --acceleration 1 --max-speed 0.000000001 --length 100");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("Out of memory! (engine error 31)"), std::string::npos) << run.output;
}
