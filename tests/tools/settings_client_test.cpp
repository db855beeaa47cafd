// velkor settings, run as a user runs it on axis data files.

#include <gtest/gtest.h>

#include "tests/support/client_process.h"
#include "tests/support/simulated_motors.h"
#include "tests/support/test_environment.h"

namespace velkor::testing {
namespace {

class SettingsClientTest : public ::testing::Test {
 protected:
  std::string File(const std::string& name) const { return (folder_ / name).string(); }
  static std::string Text(const std::string& path) { return ReadFile(path); }
  TemporaryFolder folder_;
};

TEST_F(SettingsClientTest, SetEditsByTheWindowsRulesAndPrintsWhatChanged) {
  ASSERT_EQ(RunClient("settings new " + File("axis")).status, 0);  // the extension is added
  const ClientRun edited = RunClient("settings set " + File("axis.adf") +
                                     " 'Data(3)=12.3456' 'Mode(4)=Torque' 'Data(4)=-100' UnitsIndex=deg 'Vel(2)=360'"
                                     " 'LimVal(2)=5' 'pid(0)=-20' 'pid(6)=-2000000' HomeOps=10");
  ASSERT_EQ(edited.status, 0) << edited.output;
  EXPECT_EQ(edited.output,
            "Data(3)=12.346\n  MotorData(3)=24692\n"
            "Mode(4)=4\n"
            "Data(4)=-100\n  MotorData(4)=-1023\n"
            "UnitsIndex=3\n"
            "Vel(2)=360\n  MotorVel(2)=32213\n"
            "LimVal(2)=10\n  MotorLimVal(2)=102\n"
            "pid(0)=20\npid(6)=-2000000\n"
            "HomeOps=10\n");

  const ClientRun shown = RunClient("settings show " + File("axis.adf"));
  ASSERT_EQ(shown.status, 0) << shown.output;
  for (const char* expected : {"2000 encoder counts = 1 deg", "Torque    -100 %T", "24692 0 0",
                               "Torque Limit               10 %", "KG -2000000",
                               "HomeOps    10  home to a hard stop; back off to the index pulse"})
    EXPECT_NE(shown.output.find(expected), std::string::npos) << expected << "\n" << shown.output;
}

TEST_F(SettingsClientTest, ARefusedValueSaysWhyAndWritesNothing) {
  ASSERT_EQ(RunClient("settings new " + File("a.adf")).status, 0);
  const std::string before = Text(File("a.adf"));
  for (const char* edits : {"'Mode(1)=4' 'Data(1)=100.5'", "EncCounts=0", "'Acc(0)=9000000'", "'Data(0)=abc'",
                            "EncoderRes= 'Data(0)=1'"}) {
    const ClientRun run = RunClient("settings set " + File("a.adf") + " 'Data(0)=7' " + edits);
    EXPECT_EQ(run.status, 2) << edits;
    EXPECT_EQ(Text(File("a.adf")), before) << edits;
  }
  EXPECT_NE(RunClient("settings set " + File("a.adf") + " 'Mode(1)=4' 'Data(1)=100.5'")
                .output.find("Torque cannot exceed +/-100! [Invalid Input]"),
            std::string::npos);
  EXPECT_NE(RunClient("settings set " + File("a.adf") + " EncoderRes= 'Data(0)=1'")
                .output.find("Please Enter Encoder Resolution! [Need Encoder Resolution Input !]"),
            std::string::npos);
  EXPECT_NE(RunClient("settings set " + File("a.adf") + " 'MotorData(0)=5'").output.find("follows"),
            std::string::npos);
  EXPECT_EQ(RunClient("settings new " + File("a.adf")).status, 2);  // no silent overwrite
  EXPECT_EQ(RunClient("settings show " + File("none.adf")).status, 2);
}

TEST_F(SettingsClientTest, DiffListsUserAndMotorValues) {
  ASSERT_EQ(RunClient("settings new " + File("a.adf")).status, 0);
  ASSERT_EQ(RunClient("settings new " + File("b.adf")).status, 0);
  EXPECT_EQ(RunClient("settings diff " + File("a.adf") + " " + File("b.adf")).status, 0);
  ASSERT_EQ(RunClient("settings set " + File("b.adf") + " 'Acc(7)=-1000'").status, 0);
  const ClientRun differ = RunClient("settings diff " + File("a.adf") + " " + File("b.adf"));
  EXPECT_EQ(differ.status, 1);
  EXPECT_EQ(differ.output, "Acc(7): 0 | 1000\nMotorAcc(7): 0 | 7917\n");
}

// The whole way to a motor and back, with the prescribed pauses spent.
TEST_F(SettingsClientTest, DownloadUploadAndDiffAgainstAMotor) {
  TemporaryRegistry registry;
  auto simulator = StartMotors("port bus\nmotor address=1 baud=38400\n");
  ASSERT_TRUE(simulator);
  const std::string motor = " --port " + simulator->DevicePath(0) + " --baud 38400 --rs485 --address 1";
  WriteFile(File("prog.txt"), "a=1\nEND\n");
  ASSERT_EQ(RunClient("compile " + File("prog.txt")).status, 0);
  ASSERT_EQ(RunClient("settings new " + File("a.adf")).status, 0);
  ASSERT_EQ(RunClient("settings set " + File("a.adf") + " 'Data(2)=3.25' 'Mode(5)=Torque' 'Data(5)=50'").status, 0);

  const ClientRun downloaded = RunClient("settings download" + motor + " " + File("a.adf") + " --program " + File("prog.vqx"));
  ASSERT_EQ(downloaded.status, 0) << downloaded.output;
  EXPECT_NE(downloaded.output.find("downloaded " + File("a.adf") + " to motor 1 (with the motor program)"), std::string::npos);
  const auto memory = [&](int address) {
    return simulator->WithMotor(0, 0, [&](velkor::sim::Firmware& m) { return m.Memory().Byte(address); });
  };
  EXPECT_EQ(memory(103), 123) << "the data marker";
  EXPECT_EQ(memory(25003), 'a') << "the file's name without its folder";

  ASSERT_EQ(RunClient("settings set " + File("a.adf") + " 'Data(2)=4'").status, 0);
  const ClientRun differ = RunClient("settings diff " + File("a.adf") + motor);
  EXPECT_EQ(differ.status, 1) << differ.output;
  EXPECT_NE(differ.output.find("Data(2): 4 | 3.25\nMotorData(2): 8000 | 6500\n"), std::string::npos) << differ.output;

  // A download that first keeps what the motor held.
  const ClientRun backedUp = RunClient("settings download" + motor + " " + File("a.adf") + " --program " +
                                       File("prog.vqx") + " --backup " + File("backups"));
  ASSERT_EQ(backedUp.status, 0) << backedUp.output;
  const auto at = backedUp.output.find(File("backups") + "/");
  ASSERT_NE(at, std::string::npos) << backedUp.output;
  const std::string backup = backedUp.output.substr(at, backedUp.output.find('\n', at) - at);
  EXPECT_TRUE(backup.ends_with(".adf")) << backup;
  EXPECT_NE(RunClient("settings diff " + backup + " " + File("a.adf")).output.find("Data(2): 3.25 | 4\n"),
            std::string::npos);
  EXPECT_EQ(RunClient("settings upload" + motor + " x.adf --backup " + File("backups")).status, 2)
      << "a backup goes with a download only";

  ASSERT_EQ(RunClient("settings upload" + motor + " " + File("b.adf")).status, 0);
  const ClientRun shown = RunClient("settings show " + File("b.adf"));
  EXPECT_NE(shown.output.find("Torque    50 %T"), std::string::npos) << shown.output;
}

}  // namespace
}  // namespace velkor::testing
