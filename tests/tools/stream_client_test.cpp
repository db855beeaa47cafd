// velkor stream: a path printed by velkor path, streamed in host mode to
// simulated motors, which end where the path ends.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>

#include "tests/support/client_process.h"
#include "tests/support/simulated_motors.h"
#include "tests/support/test_environment.h"

using velkor::testing::RunClient;

TEST(StreamClient, APrintedPathDrivesTheMotorsToItsEnd) {
  velkor::testing::TemporaryRegistry registry;
  velkor::testing::TemporaryFolder folder;
  auto simulator = velkor::testing::StartMotors(
      "port bus\nmotor address=1 baud=38400\nmotor address=2 baud=38400\nmotor address=3 baud=38400\n");
  ASSERT_TRUE(simulator);
  const std::string table = (folder.path() / "line.csv").string();
  auto run = RunClient("path line --time-delta 64 --acceleration 0.05 --max-speed 5 --to 300,400,100 --create > " +
                       table);
  ASSERT_EQ(run.status, 0) << run.output;

  const std::string port = "--port " + simulator->DevicePath(0) + " --rs485 --baud 38400";
  run = RunClient("stream " + port + " --motors 3 " + table);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("streamed 5 of 5 samples to 3 motor(s)"), std::string::npos) << run.output;
  const int expected[] = {300, 400, 100};
  for (std::size_t motor = 0; motor < 3; ++motor) {
    const auto position = simulator->WithMotor(0, motor, [](velkor::sim::Firmware& m) { return m.Host().Position(); });
    EXPECT_NEAR(position, expected[motor], 0.5) << "motor " << motor + 1;
  }

  run = RunClient("stream " + port + " --motors 7 " + table);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("--motors N (1 to 6)"), std::string::npos) << run.output;
  velkor::testing::WriteFile(folder.path() / "bad.csv", "1,2\nx,y\n");
  run = RunClient("stream " + port + " --motors 1 " + (folder.path() / "bad.csv").string());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("bad.csv:2: not a row of numbers"), std::string::npos) << run.output;

  // A step host mode would refuse at the end is found before the motion starts.
  velkor::testing::WriteFile(folder.path() / "late.csv", "0,0\n5,64\n9,100\n");
  run = RunClient("stream " + port + " --motors 1 " + (folder.path() / "late.csv").string());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("late.csv:3: the clock steps by 36"), std::string::npos) << run.output;
  EXPECT_FALSE(simulator->WithMotor(0, 0, [](velkor::sim::Firmware& m) { return m.HostMode(); }));
}

// SIGTERM ends a stream as Ctrl-C does: the motors finish what they have and
// stay in position mode.
TEST(StreamClient, SigtermEndsTheStreamCleanly) {
  velkor::testing::TemporaryRegistry registry;
  velkor::testing::TemporaryFolder folder;
  auto simulator = velkor::testing::StartMotors("port bus\nmotor address=1 baud=38400\n");
  ASSERT_TRUE(simulator);
  std::string table;
  for (int row = 0; row < 20000; ++row) table += std::to_string(row) + "," + std::to_string(row * 64) + "\n";
  velkor::testing::WriteFile(folder.path() / "long.csv", table);
  const auto run = velkor::testing::RunClientThenSignal("stream --port " + simulator->DevicePath(0) +
                                                             " --rs485 --baud 38400 --motors 1 " +
                                                             (folder.path() / "long.csv").string(),
                                                         "TERM");
  const std::string& output = run.output;
  EXPECT_EQ(run.status, 0) << output;
  EXPECT_NE(output.find("stopped after"), std::string::npos) << output;
  EXPECT_FALSE(simulator->WithMotor(0, 0, [](velkor::sim::Firmware& m) { return m.HostMode(); }));
}
