// Why a scan found no motor on a port: each port made to fail in its own way
// (held by another program, motors at another rate, a slow USB adapter, no
// permission), against simulated ports in a registry of the test's own.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/registry/registry.h"
#include "setup/live/port_diagnosis.h"
#include "setup/live/port_holders.h"
#include "tests/setup/live/simulated_ports.h"
#include "tests/setup/recording_view.h"
#include "tests/support/test_environment.h"

extern char** environ;

namespace velkor::setup {
namespace {

namespace fs = std::filesystem;
using ::velkor::testing::ReadFile;
using ::velkor::testing::TemporaryFolder;
using ::velkor::testing::WriteFile;

// hold-port started on a device: it has the port until this object goes.
class HoldingProcess {
 public:
  explicit HoldingProcess(const std::string& device) {
    int input[2], output[2];
    if (::pipe(input) != 0) return;
    if (::pipe(output) != 0) {
      ::close(input[0]);
      ::close(input[1]);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    const char* program = VELKOR_HOLD_PORT;
    char* const arguments[] = {const_cast<char*>(program), const_cast<char*>(device.c_str()), nullptr};
    if (posix_spawn(&pid_, program, &actions, nullptr, arguments, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    input_ = input[1];
    char said[8] = {};
    held_ = pid_ > 0 && ::read(output[0], said, 4) == 4 && std::string(said) == "held";
    ::close(output[0]);
  }
  HoldingProcess(const HoldingProcess&) = delete;
  HoldingProcess& operator=(const HoldingProcess&) = delete;
  ~HoldingProcess() {
    if (input_ >= 0) ::close(input_);  // its standard input ends: it lets go
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  }
  bool Held() const { return held_; }
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  bool held_ = false;
};

class PortDiagnosisTest : public testing::SimulatedPorts {
 protected:
  // COMn renamed to a link called like a USB adapter, which leads to the port.
  void NameAsAdapter(std::size_t port, const std::string& adapter) {
    const fs::path link = machine_ / adapter;
    fs::create_symlink(simulator_->DevicePath(port), link);
    ASSERT_TRUE(registry::WriteString(registry::Hive::CurrentUser, registry::kPortsKey, simulator_->PortName(port),
                                      link.string()));
  }
  void SetLatencyTimer(const std::string& adapter, int milliseconds) {
    fs::create_directories(folders_.usbSerial / adapter);
    WriteFile(folders_.usbSerial / adapter / "latency_timer", std::to_string(milliseconds) + "\n");
  }

  TemporaryFolder machine_;
  DiagnosisFolders folders_{"/proc", machine_ / "usb-serial"};
};

TEST_F(PortDiagnosisTest, SaysPerPortWhyNoMotorAnsweredAndWhatToDo) {
  ASSERT_NO_FATAL_FAILURE(Start("port chain\nmotor serial=A2001\n"
                                "port chain\nmotor serial=A2002 baud=57600\nmotor serial=A2003 baud=57600\n"
                                "port chain\nmotor\nfault motor=1 silent\n"
                                "port chain\nmotor\nfault motor=1 silent\n"
                                "port chain\nmotor serial=A2004\n"));
  const HoldingProcess holder(simulator_->DevicePath(0));
  ASSERT_TRUE(holder.Held());
  ASSERT_NO_FATAL_FAILURE(NameAsAdapter(2, "ttyUSB3"));
  ASSERT_NO_FATAL_FAILURE(NameAsAdapter(3, "ttyUSB4"));
  SetLatencyTimer("ttyUSB3", 16);
  SetLatencyTimer("ttyUSB4", 1);
  ASSERT_TRUE(registry::WriteString(registry::Hive::CurrentUser, registry::kPortsKey, "COM200", "/dev/velkor-none"));

  MotorScan scan;
  RecordingClock clock;
  testing::RecordingView view;
  scan.Run({std::vector<int>{Com(0), Com(1), Com(2), Com(3), Com(4), 200}, &clock}, view);
  ASSERT_EQ(scan.Motors().size(), 1u) << "only the motor at 9600 on a free port";
  const auto report = DiagnoseScan(scan, folders_);
  ASSERT_EQ(report.size(), 5u) << "every port but the one with a motor";

  EXPECT_EQ(report[0].number, Com(0));
  EXPECT_EQ(report[0].problem, PortProblem::Held);
  EXPECT_NE(report[0].reason.find("hold-port (PID " + std::to_string(holder.Pid()) + ")"), std::string::npos)
      << report[0].reason;

  EXPECT_EQ(report[1].problem, PortProblem::OtherRate);
  EXPECT_EQ(report[1].rate, 57600);
  EXPECT_NE(report[1].reason.find("2 motors answer at 57600 baud"), std::string::npos) << report[1].reason;
  EXPECT_NE(report[1].advice.find("--port COM" + std::to_string(Com(1)) + " --baud 57600 --address 0"),
            std::string::npos);

  EXPECT_EQ(report[2].problem, PortProblem::LatencyTimer);
  EXPECT_NE(report[2].reason.find("ttyUSB3 holds received bytes for 16 ms"), std::string::npos) << report[2].reason;
  EXPECT_NE(report[2].advice.find(kLatencyTimerRule), std::string::npos);

  EXPECT_EQ(report[3].problem, PortProblem::NoAnswer) << "a timer of 1 ms is as it should be";
  EXPECT_EQ(report[4].number, 200);
  EXPECT_EQ(report[4].problem, PortProblem::Missing);

  const std::string text = FormatDiagnosis(report);
  EXPECT_EQ(text.substr(0, text.find('\n') + 1),
            "COM" + std::to_string(Com(0)) + " (" + simulator_->DevicePath(0) + "): " + report[0].reason + "\n");
  EXPECT_NE(text.find("  " + std::string(kLatencyTimerRule) + "\n"), std::string::npos) << text;
}

TEST_F(PortDiagnosisTest, APortThisUserMayNotOpenGetsTheGroupToJoin) {
  if (::geteuid() == 0) GTEST_SKIP() << "root opens every device";
  ASSERT_NO_FATAL_FAILURE(Start("port chain\nmotor\n"));
  const std::string device = simulator_->DevicePath(0);
  struct stat before {};
  ASSERT_EQ(::stat(device.c_str(), &before), 0);
  ASSERT_EQ(::chmod(device.c_str(), 0), 0);
  const auto report = DiagnosePorts({{Com(0), device}}, folders_);
  ::chmod(device.c_str(), before.st_mode & 07777);
  ASSERT_EQ(report.size(), 1u);
  EXPECT_EQ(report[0].problem, PortProblem::Permission);
  EXPECT_NE(report[0].advice.find("sudo usermod -aG "), std::string::npos) << report[0].advice;
}

struct PseudoTerminal {
  PseudoTerminal() : master(::posix_openpt(O_RDWR | O_NOCTTY)) {}
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;
  ~PseudoTerminal() {
    if (master >= 0) ::close(master);
  }
  int master;
};

// A /proc of files: who has the device, and who is only its line's far end.
TEST(PortHoldersTest, NamesTheProgramsThatHaveADeviceButNotThePseudoTerminalsFarEnd) {
  TemporaryFolder proc;
  const auto process = [&](int pid, const std::string& program, const std::vector<std::string>& targets) {
    const fs::path folder = proc / std::to_string(pid);
    fs::create_directories(folder / "fd");
    fs::create_directories(folder / "fdinfo");
    WriteFile(folder / "comm", program + "\n");
    for (std::size_t fd = 0; fd < targets.size(); ++fd) fs::create_symlink(targets[fd], folder / "fd" / std::to_string(fd));
    return folder;
  };
  const PseudoTerminal terminal;
  const int master = terminal.master;
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master) | ::unlockpt(master), 0);
  const std::string device = ::ptsname(master);
  const std::string index = device.substr(device.rfind('/') + 1);
  process(300, "minicom", {"/dev/null", "socket:[1234]", device});
  const fs::path farEnd = process(200, "velkor-sim", {device, "/dev/ptmx"});
  WriteFile(farEnd / "fdinfo" / "1", "pos:\t0\nflags:\t02\ntty-index:\t" + index + "\n");
  const fs::path otherTerminal = process(100, "xterm", {"/dev/ptmx", device});
  WriteFile(otherTerminal / "fdinfo" / "0", "pos:\t0\ntty-index:\t" + std::to_string(std::stoi(index) + 1) + "\n");
  process(::getpid(), "self", {device});
  WriteFile(proc / "self", "");

  EXPECT_EQ(FindPortHolders(device, proc.path()), (std::vector<PortHolder>{{100, "xterm"}, {300, "minicom"}}));
  EXPECT_TRUE(FindPortHolders("/dev/null-none", proc.path()).empty());
}

TEST(PortDiagnosisReadmeTest, TheReadmeGivesTheSameUdevRule) {
  EXPECT_NE(ReadFile(VELKOR_README).find("\n" + std::string(kLatencyTimerRule) + "\n"), std::string::npos);
}

}  // namespace
}  // namespace velkor::setup
