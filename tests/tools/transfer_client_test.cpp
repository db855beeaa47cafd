// download, upload and clear from the command line, and a program's whole
// way: compiled, loaded into a simulated motor and read back.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/client_process.h"
#include "tests/support/simulated_motors.h"
#include "tests/support/test_environment.h"

using velkor::testing::ReadFile;
using velkor::testing::RunClient;
using velkor::testing::WriteFile;

namespace {

class TransferClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    simulator_ = velkor::testing::StartMotors("port bus\nmotor address=1 baud=9600\nmotor address=2 firmware=462\n");
    ASSERT_TRUE(simulator_);
    motor_ = "--port " + simulator_->DevicePath(0) + " --rs485 --address 1";
  }
  std::string Path(const std::string& name) const { return (folder_.path() / name).string(); }
  // A finished transfer shows its bar full, whatever its step count was.
  static void ExpectFullBar(const std::string& output, const std::string& what) {
    const std::size_t bar = output.rfind(what + " ");
    ASSERT_NE(bar, std::string::npos) << output;
    const std::size_t counts = output.find("] ", bar);
    const std::size_t slash = output.find('/', counts);
    const std::size_t end = output.find('\n', slash);
    ASSERT_NE(end, std::string::npos) << output;
    EXPECT_EQ(output.substr(counts + 2, slash - counts - 2), output.substr(slash + 1, end - slash - 1)) << output;
  }
  std::string StoredBody() {
    return simulator_->WithMotor(0, 0, [](velkor::sim::Firmware& m) { return m.Program(false).Body(); });
  }

  velkor::testing::TemporaryRegistry registry_;
  velkor::testing::TemporaryFolder folder_;
  std::unique_ptr<velkor::sim::Simulator> simulator_;
  std::string motor_;
};

}  // namespace

TEST_F(TransferClientTest, ACompiledProgramGoesIntoTheMotorAndComesBack) {
  WriteFile(Path("move.src"), "' a move and back\nMP  A=100 V=1000\nP=4000 G\nC1\nWHILE a<3\n  a = a+1\nLOOP\nEND\n");
  auto run = RunClient("compile " + Path("move.src"));
  ASSERT_EQ(run.status, 0) << run.output;

  run = RunClient("download " + motor_ + " " + Path("move.vqx"));
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("downloaded"), std::string::npos) << run.output;
  ExpectFullBar(run.output, "downloading");
  const std::string normalized = "MP A=100 V=1000\nP=4000 G\nC1\nWHILE a<3\na=a+1\nLOOP\nEND\n";
  EXPECT_EQ(StoredBody(), normalized);

  run = RunClient("upload " + motor_ + " " + Path("back.txt"));
  ASSERT_EQ(run.status, 0) << run.output;
  ExpectFullBar(run.output, "uploading");
  EXPECT_EQ(ReadFile(Path("back.txt")), "MP A=100 V=1000\r\nP=4000 G\r\nC1\r\nWHILE a<3\r\na=a+1\r\nLOOP\r\nEND\r\n");
  run = RunClient("upload " + motor_ + " - --raw");
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(normalized), std::string::npos) << run.output;

  run = RunClient("clear " + motor_);
  ASSERT_EQ(run.status, 0) << run.output;
  ExpectFullBar(run.output, "downloading");
  EXPECT_EQ(StoredBody(), "END\n");
}

TEST_F(TransferClientTest, FailuresAndBadUsageAreExplained) {
  auto run = RunClient("download " + motor_ + " " + Path("missing.vqx"));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("Can not open the file specified! (engine error 34)"), std::string::npos) << run.output;
  run = RunClient("download " + motor_);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("download takes one image file"), std::string::npos) << run.output;
  run = RunClient("download " + motor_ + " a.vqx --flags zz");
  EXPECT_EQ(run.status, 2);
  run = RunClient("upload " + motor_ + " " + Path("no/such/dir.txt"));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("(engine error 35)"), std::string::npos) << run.output;
}

TEST_F(TransferClientTest, RefusedDownloadsSayWhatToDo) {
  WriteFile(Path("end.src"), "END\n");
  ASSERT_EQ(RunClient("compile " + Path("end.src")).status, 0);
  ASSERT_EQ(RunClient("send " + motor_ + " --no-answer G").status, 0);  // the drive is on now
  auto run = RunClient("download " + motor_ + " " + Path("end.vqx"));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("(engine error 41)\n        add --flags 0x01"), std::string::npos) << run.output;
  run = RunClient("download " + motor_ + " " + Path("end.vqx") + " --flags 0x01");
  EXPECT_EQ(run.status, 0) << run.output;

  const std::string servo = "--port " + simulator_->DevicePath(0) + " --rs485 --address 2";
  run = RunClient("download " + servo + " " + Path("end.vqx"));
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("(engine error 42)\n        motors whose firmware begins with 46 take compiled programs"),
            std::string::npos)
      << run.output;
}

// A download broken off in the middle of its image: the client says what
// the motor holds afterwards, and 'clear' brings back a motor that a
// transfer left loading.
TEST(TransferRecovery, AFailedDownloadIsReportedAndAStuckMotorCleared) {
  velkor::testing::TemporaryRegistry registry;
  velkor::testing::TemporaryFolder folder;
  auto simulator = velkor::testing::StartMotors("port chain\nmotor address=1\nfault motor=1 echo-stops-after=2500\n");
  ASSERT_TRUE(simulator);
  const std::string motor = "--port " + simulator->DevicePath(0) + " --address 1";
  std::string program;
  for (int i = 0; program.size() < 4000; ++i) program += "a=" + std::to_string(i) + "\n";
  WriteFile((folder / "long.src").string(), program + "END\n");
  ASSERT_EQ(RunClient("compile " + (folder / "long.src").string()).status, 0);

  auto run = RunClient("download " + motor + " " + (folder / "long.vqx").string());
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("(engine error 6)\nvelkor: motor 1 holds the empty program"), std::string::npos)
      << run.output;

  // A load that nothing ended: the motor takes every command as program.
  ASSERT_EQ(RunClient("send " + motor + " --no-answer LOAD").status, 0);
  EXPECT_EQ(RunClient("send " + motor + " RSP").status, 2);
  run = RunClient("clear " + motor);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(RunClient("send " + motor + " RSP").output, "24576/450\n");
  EXPECT_EQ(simulator->WithMotor(0, 0, [](velkor::sim::Firmware& m) { return m.Program(false).Body(); }), "END\n");
}
