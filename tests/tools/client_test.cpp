// velkor, the command-line client, run as a separate program.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/serial/serial_port.h"
#include "tests/support/client_process.h"
#include "tests/support/simulated_motors.h"
#include "tests/support/test_environment.h"

using velkor::testing::ClientRun;
using velkor::testing::RunClient;
using velkor::testing::ScopedEnvironment;

namespace {

class ClientTest : public ::testing::Test {
 protected:
  velkor::testing::TemporaryRegistry registry_;
};

}  // namespace

TEST_F(ClientTest, ExplainsItselfAndRefusesWhatItDoesNotKnow) {
  ClientRun run = RunClient("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("register [--library PATH]"), std::string::npos);
  EXPECT_NE(run.output.find("send --port P"), std::string::npos);
  EXPECT_EQ(RunClient("").status, 2);
  run = RunClient("frobnicate");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("unknown command 'frobnicate'"), std::string::npos);
  EXPECT_EQ(RunClient("register --bogus").status, 2);
  run = RunClient("register --library /nonexistent/libvelkor.so");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("cannot load"), std::string::npos);
  EXPECT_EQ(RunClient("send RP").status, 2) << "no port";
  EXPECT_EQ(RunClient("send --port COM1 --address x RP").status, 2);
  EXPECT_EQ(RunClient("mem --port COM1 read 40000").status, 2) << "outside motor memory";
  EXPECT_EQ(RunClient("mem --port COM1 write 10 256 --byte").status, 2) << "does not fit";
  // Values out of their range are refused before anything is opened or waited for.
  const std::pair<const char*, const char*> outOfRange[] = {
      {"send --port COM1 --address 257 RP", "--address is 0 (every motor) or a motor from 1 to 119"},
      {"info --port COM1 --address 2147483647", "--address is 0"},
      {"info --port COM1 --address 99999999999", "--address is 0"},
      {"info --port COM1 --address two", "--address needs a whole number, not 'two'"},
      {"send --port COM1 --rs485 --channel 2 RP", "--channel is 0 or 1"},
      {"scan --port COM1 --timeout -5", "--timeout is a number from 1 to 60000"},
      {"scan --port COM1 --tx-max-retry 4294967295", "--tx-max-retry needs a number"},
      {"scan --port COM1 --max 120", "--max is the highest motor address, from 1 to 119"},
      {"reorder --port COM1 120 A1001", "reorder takes the new ADDRESS (1 to 119)"}};
  for (const auto& [arguments, message] : outOfRange) {
    run = RunClient(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_NE(run.output.find(message), std::string::npos) << arguments << ": " << run.output;
  }
}

// Configuration files are somebody's: one that is not a registry file is
// kept and named; a log that cannot be written is told once.
TEST_F(ClientTest, ConfigurationFilesAreKeptAndProblemsNamed) {
  velkor::testing::WriteFile(registry_.UserFile(), "my own notes\n");
  ClientRun run = RunClient("register");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find(registry_.UserFile().string() + " is not a registry file"), std::string::npos)
      << run.output;
  EXPECT_EQ(velkor::testing::ReadFile(registry_.UserFile()), "my own notes\n");

  velkor::testing::WriteFile(registry_.UserFile(),
                             "Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\SOFTWARE\\Trevano\\VNXEngine\\IVNXComm]\n"
                             "\"LogFlags\"=dword:00000001\n"
                             "\"LogFileName\"=\"/nonexistent/velkor/engine.log\"\n");
  run = RunClient("send --port /dev/velkor-nonexistent RP");
  EXPECT_NE(run.output.find("warning: the engine log /nonexistent/velkor/engine.log cannot be written"),
            std::string::npos)
      << run.output;
}

TEST_F(ClientTest, PrintsTheEngineVersion) {
  ClientRun run = RunClient("--version");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "2.1.1.2\n");
  ScopedEnvironment missing("VELKOR_LIBRARY", "/nonexistent/libvelkor.so");
  run = RunClient("--version");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("cannot create VNXEngine.VNXHost"), std::string::npos) << run.output;
}

TEST_F(ClientTest, PortThatDoesNotOpenIsExplained) {
  velkor::testing::WriteFile(registry_.UserFile(),
                             "Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\SOFTWARE\\Trevano\\VNXEngine\\Ports]\n"
                             "\"COM7\"=\"/dev/velkor-unplugged\"\n");
  ClientRun run = RunClient("send --port COM7 RP");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("Cannot open serial port! (engine error 2)"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("COM7 stands for /dev/velkor-unplugged, which does not exist"), std::string::npos);

  if (::geteuid() == 0) GTEST_SKIP() << "root may open any device";
  const auto locked = registry_.folder() / "locked-tty";
  velkor::testing::WriteFile(locked, "");
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  run = RunClient("send --port " + locked.string() + " RP");
  EXPECT_NE(run.output.find("dialout"), std::string::npos) << run.output;
}

TEST_F(ClientTest, SendsCommandsAndPrintsAnswers) {
  auto simulator = velkor::testing::StartMotors("port chain\nmotor address=1 firmware=452\n");
  ASSERT_TRUE(simulator);
  const std::string port = "--port " + simulator->DevicePath(0);
  ClientRun run = RunClient("send " + port + " RSP");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "24576/452\n");
  EXPECT_EQ(RunClient("send " + port + " --no-answer 'b=17'").status, 0);
  EXPECT_EQ(RunClient("send " + port + " Rb").output, "17\n");
  // A motor the search does not find is told with what the search found.
  run = RunClient("info " + port + " --address 3");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("no motor at address 3: motors found, and no other motor answers"),
            std::string::npos)
      << run.output;
  run = RunClient("send " + port + " --address 5 RSP");
  EXPECT_EQ(run.status, 2) << "no motor 5";
  EXPECT_NE(run.output.find("(engine error 5)"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("'velkor scan --port P' gives its motors addresses"), std::string::npos) << run.output;
}

TEST_F(ClientTest, UnusableOptionsAreNamedForWhatTheyAre) {
  ClientRun run = RunClient("send --port /dev/velkor-nonexistent RP");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("velkor: /dev/velkor-nonexistent does not exist (is the adapter plugged in?)"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("stands for"), std::string::npos) << run.output;
  run = RunClient("send --port /dev/velkor-nonexistent --baud 12345 RP");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("--baud 12345: the motors do not support that rate"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("another program"), std::string::npos) << run.output;

  for (const char* notAPort : {"/tmp", "/dev/zero"}) {
    run = RunClient(std::string("send --port ") + notAPort + " RP");
    EXPECT_NE(run.output.find(std::string(notAPort) + " is not a serial port"), std::string::npos) << run.output;
  }
  auto simulator = velkor::testing::StartMotors("port chain\nmotor address=1\n");
  ASSERT_TRUE(simulator);
  auto held = velkor::serial::SerialPort::Open(simulator->DevicePath(0));
  ASSERT_TRUE(held.ok());
  run = RunClient("send --port " + simulator->DevicePath(0) + " RP");
  EXPECT_NE(run.output.find(simulator->DevicePath(0) + " is in use by another program"), std::string::npos)
      << run.output;
}

TEST_F(ClientTest, ReadsAMotorsIdentityAndMemoryOnABus) {
  auto simulator = velkor::testing::StartMotors(
      "port bus\nmotor address=1\nmotor address=2 serial=B2002 model=SV3430DE resolution=8000 firmware=462\n");
  ASSERT_TRUE(simulator);
  const std::string motor = "--port " + simulator->DevicePath(0) + " --rs485 --address 2";
  // Every verb sets the bus up, a lone command on a fresh bus too.
  ClientRun run = RunClient("send " + motor + " RSP");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "24576/462\n");
  run = RunClient("info " + motor);
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("model:              SV3430DE"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("serial number:      B2002"), std::string::npos);
  EXPECT_NE(run.output.find("firmware:           462"), std::string::npos);
  EXPECT_NE(run.output.find("sample rate:        4069.01 Hz"), std::string::npos);
  EXPECT_NE(run.output.find("encoder resolution: 8000"), std::string::npos);

  EXPECT_EQ(RunClient("mem " + motor + " write 1000 0x1234 --word").status, 0);
  run = RunClient("mem " + motor + " read 1000 --word");
  EXPECT_EQ(run.output, "4660 (0x1234)\n");
  run = RunClient("mem " + motor + " read 1000 --byte");
  EXPECT_EQ(run.output, "18 (0x12)\n") << "memory is big-endian";
  // Signed and unsigned by the engine's names, both ways.
  EXPECT_EQ(RunClient("mem " + motor + " write 1234 -77 --long").status, 0);
  EXPECT_EQ(RunClient("mem " + motor + " read 1234 --long").output, "-77 (0xFFFFFFB3)\n");
  EXPECT_EQ(RunClient("mem " + motor + " read 1234 --dword").output, "4294967219 (0xFFFFFFB3)\n");
  EXPECT_EQ(RunClient("mem " + motor + " write 1234 65534 --word").status, 0);
  EXPECT_EQ(RunClient("mem " + motor + " read 1234 --int").output, "-2 (0xFFFE)\n");
  run = RunClient("mem " + motor + " write 1234 4294967219 --long");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("a value for --long lies from -2147483648 to 2147483647"), std::string::npos) << run.output;
  run = RunClient("mem " + motor + " write 32000 1");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("Invalid Data! (engine error 19)"), std::string::npos) << run.output;
}
