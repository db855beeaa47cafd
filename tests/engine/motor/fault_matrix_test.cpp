// Every fault the simulator injects, in the middle of every kind of motor
// traffic: the failure is reported, and afterwards the motors are in a
// defined state: a motor that can still answer answers, a failed download
// leaves the empty program (never half an image, never a motor that is still
// loading), and no motor of the chain is left asleep.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "engine/compiler/compiler.h"
#include "tests/support/engine_failure.h"
#include "tests/support/simulated_motors.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"
#include "velkor/window.h"

namespace velkor::engine::testing {
namespace {

using ::velkor::testing::TakeFailure;

enum class Operation { Scan, Download, HostDownload, Upload, MemoryWrite, MemoryRead };
enum class Fault { EchoStops, EchoAltered, SlowAnswers, Silent, Dropped };

// The program each motor holds before the operation, and the image the
// downloads send: long enough (4 KiB) for a fault to strike in its middle.
std::string Compiled(const std::string& program) {
  compiler::Compiler compiler;
  compiler.Compile(program);
  return compiler.Image();
}
const std::string& Before() {
  static const std::string image = Compiled("a=9\nEND");
  return image;
}
const std::string& LongImage() {
  static const std::string image = [] {
    std::string program;
    for (int i = 0; program.size() < 4000; ++i) program += "a=" + std::to_string(i) + " b=a+1\n";
    return Compiled(program + "END\n");
  }();
  return image;
}

// Where in the operation the fault strikes, in bytes the motor echoes (or
// receives) from the moment it is armed.
int StrikeAt(Operation operation) {
  switch (operation) {
    case Operation::Download:
    case Operation::HostDownload: return 2500;  // in the middle of the image
    case Operation::Scan: return 30;
    case Operation::Upload: return 12;
    case Operation::MemoryWrite:
    case Operation::MemoryRead: return 8;
  }
  return 0;
}

sim::FaultSet FaultsOf(Fault fault, Operation operation) {
  sim::FaultSet faults;
  switch (fault) {
    case Fault::EchoStops: faults.echoStopsAfter = StrikeAt(operation); break;
    case Fault::EchoAltered: faults.echoAltersByte = StrikeAt(operation); break;
    case Fault::SlowAnswers: faults.answerDelay = std::chrono::milliseconds(600); break;
    case Fault::Silent: faults.silent = true; break;
    case Fault::Dropped: faults.dropAfter = StrikeAt(operation); break;
  }
  return faults;
}

bool Lasting(Fault fault) { return fault == Fault::Silent || fault == Fault::Dropped; }

struct Cell {
  Operation operation;
  Fault fault;
};

std::string NameOf(const ::testing::TestParamInfo<Cell>& info);

void PrintTo(const Cell& cell, std::ostream* out) { *out << NameOf({cell, 0}); }

std::string NameOf(const ::testing::TestParamInfo<Cell>& info) {
  static const char* operations[] = {"Scan", "Download", "HostDownload", "Upload", "MemoryWrite", "MemoryRead"};
  static const char* faults[] = {"EchoStops", "EchoAltered", "SlowAnswers", "Silent", "Dropped"};
  return std::string(operations[static_cast<int>(info.param.operation)]) + "_" +
         faults[static_cast<int>(info.param.fault)];
}

// A chain of two addressed motors, both holding a program.
class FaultyChain : public ::testing::Test {
 protected:
  void SetUp() override {
    simulator_ = ::velkor::testing::StartMotors(
        "port chain\nmotor address=1 baud=38400\nmotor address=2 baud=38400\n");
    ASSERT_TRUE(simulator_);
    for (std::size_t motor = 0; motor < 2; ++motor)
      simulator_->WithMotor(0, motor, [&](sim::Firmware& m) { m.LoadImage(Before(), false); });
    ASSERT_EQ(CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host_.OutVoid()), S_OK);
    ASSERT_EQ(host_->put_BaudRate(38400), S_OK);
    ASSERT_EQ(host_->put_Timeout(150), S_OK);
    ASSERT_EQ(host_->OpenPort(Bstr(simulator_->DevicePath(0)).get()), S_OK);
    LONG result = 0;
    ASSERT_EQ(host_->DetectRS232(2, 0, &result), S_OK);
    ASSERT_EQ(host_->GetMotor(1, motor_.Out()), S_OK);
    velkor::testing::WriteFile(image_, LongImage());
  }

  void Arm(const sim::FaultSet& faults, std::size_t motor = 0) {
    simulator_->WithMotorLine(0, 0, [&](sim::Line& line) { line.Node(motor).Arm(faults); });
  }

  // The engine error code of the operation, 0 when it succeeded.
  DWORD Run(Operation operation) {
    HRESULT status = S_OK;
    LONG result = 0;
    switch (operation) {
      case Operation::Scan: status = host_->DetectRS232(2, 0x100000, &result); break;
      case Operation::Download: status = motor_->DownloadEx(Bstr(image_.string()).get(), 0, &result); break;
      case Operation::HostDownload: status = host_->Download(1, Bstr(image_.string()).get()); break;
      case Operation::Upload: status = motor_->UploadEx(Bstr((folder_ / "up.txt").string()).get()); break;
      case Operation::MemoryWrite: status = motor_->SetMotorDWord(1000, 0x12345678); break;
      case Operation::MemoryRead: {
        ULONG value = 0;
        status = motor_->GetMotorDWord(1000, &value);
        break;
      }
    }
    if (SUCCEEDED(status)) return 0;
    const auto failure = TakeFailure();
    description_ = failure.description;
    return failure.helpContext & 0xFFFF;
  }

  // What motor n (1 or 2) answers to "RSP" through a fresh host: empty when
  // it does not answer.
  std::string Answer(LONG address) {
    ComPtr<IVNXComm> host;
    if (CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host.OutVoid()) != S_OK) return "no host";
    host->put_BaudRate(38400);
    host->put_Timeout(150);
    if (host->OpenPort(Bstr(simulator_->DevicePath(0)).get()) != S_OK) return "no port";
    Bstr answer;
    if (host->put_DefaultMotor(address) != S_OK || host->GetResponseOf(Bstr("RSP").get(), answer.Out()) != S_OK) {
      TakeFailure();
      return "";
    }
    return answer.Utf8();
  }

  struct Stored {
    std::string body;
    bool passes = false;
    bool loading = false;
  };
  Stored StoredIn(std::size_t motor) {
    // Stopped in the middle of a command, an engine may leave bytes on
    // their way: the motors are looked at once the line is quiet.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return simulator_->WithMotor(0, motor, [&](sim::Firmware& m) {
      return Stored{m.Program(false).Body(), m.Program(false).Passes(), m.Loading()};
    });
  }

  ::velkor::testing::TemporaryRegistry registry_;
  ::velkor::testing::TemporaryFolder folder_;
  std::filesystem::path image_ = folder_ / "long.vqx";
  std::unique_ptr<sim::Simulator> simulator_;
  ComPtr<IVNXComm> host_;
  ComPtr<IVNXMotor> motor_;
  std::string description_;
};

// The operations reach motor 1, whose faults motor 2 behind it feels too.
class FaultMatrix : public FaultyChain, public ::testing::WithParamInterface<Cell> {};

// The engine error each fault gives in each operation (0: it succeeds), in
// the order of the enumerations. A scan survives a lost or altered echo by
// its retries; a host-level download waits long enough for a slow motor.
constexpr DWORD kExpectedCodes[6][5] = {
    // echo stops, echo altered, slow answers, silent, dropped
    {0, 0, 6, 4, 4},  // scan (raising, so that a scan without motors says 4)
    {6, 7, 5, 6, 6},  // download
    {6, 7, 0, 6, 6},  // host-level download
    {6, 7, 5, 6, 6},  // upload
    {6, 7, 5, 6, 6},  // memory write
    {6, 7, 5, 6, 6},  // memory read
};

TEST_P(FaultMatrix, FailsClearlyAndLeavesTheMotorsInADefinedState) {
  const Cell cell = GetParam();
  Arm(FaultsOf(cell.fault, cell.operation));
  const DWORD code = Run(cell.operation);
  EXPECT_EQ(code, kExpectedCodes[static_cast<int>(cell.operation)][static_cast<int>(cell.fault)]) << description_;
  if (!Lasting(cell.fault)) Arm({});
  std::this_thread::sleep_for(std::chrono::milliseconds(700));  // slow answers fall due
  motor_.Reset();
  host_.Reset();  // closes the port for the look afterwards
  const Stored after = StoredIn(0);
  const bool download = cell.operation == Operation::Download || cell.operation == Operation::HostDownload;
  const bool loadBroken = download && code != 0 && code != 5;  // the checks before the load passed
  if (cell.fault == Fault::Dropped && loadBroken) {
    // Gone in the middle of the image: nothing reaches it any more, and the
    // failure says what that may have left.
    EXPECT_NE(description_.find("the motor may still be loading a program"), std::string::npos) << description_;
    return;
  }
  EXPECT_EQ(description_.find("still loading"), std::string::npos) << description_;
  EXPECT_FALSE(after.loading);
  EXPECT_TRUE(after.passes);
  if (cell.fault == Fault::Silent) {
    EXPECT_EQ(after.body, "a=9\nEND\n") << "the checks fail before anything is loaded";
  } else if (loadBroken) {
    // The empty program of the download that failed, never half an image.
    EXPECT_EQ(after.body, cell.operation == Operation::Download ? "END\n" : "END\n\n");
  } else if (!download || code != 0) {
    EXPECT_EQ(after.body, "a=9\nEND\n");
  }
  // Awake and listening: both motors answer, unless the fault is lasting.
  const std::string answer = Lasting(cell.fault) ? "" : "24576/450";
  EXPECT_EQ(Answer(1), answer);
  EXPECT_EQ(Answer(2), answer);
}

// The fault in the motor between the host and the target: the load is
// ended in both motors' line, and the target keeps the empty program.
TEST_F(FaultyChain, AFaultBeforeTheTargetLeavesTheTargetUsable) {
  ComPtr<IVNXMotor> target;
  ASSERT_EQ(host_->GetMotor(2, target.Out()), S_OK);
  const Bstr image(image_.string());
  LONG result = -1;
  sim::FaultSet faults;
  faults.echoStopsAfter = 2500;
  Arm(faults);
  EXPECT_EQ(target->DownloadEx(image.get(), 0, &result), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 6u);
  EXPECT_EQ(StoredIn(1).body, "END\n");
  EXPECT_FALSE(StoredIn(1).loading);

  Arm(faults);
  EXPECT_EQ(host_->Download(2, image.get()), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 6u);
  EXPECT_EQ(StoredIn(1).body, "END\n\n");
  EXPECT_EQ(StoredIn(0).body, "a=9\nEND\n") << "motor 1 slept through it";
  target.Reset();
  motor_.Reset();
  host_.Reset();
  EXPECT_EQ(Answer(1), "24576/450");
  EXPECT_EQ(Answer(2), "24576/450");
}

// A client that answers 0 to every message once the user has cancelled
// stops the download, not its clean-up: the empty program goes in and
// every motor is woken.
TEST_F(FaultyChain, ACancelStopsTheTransferButNotItsCleanUp) {
  int messages = 0;
  NotificationWindow window([&](std::uint32_t, VNX_WPARAM, VNX_LPARAM) -> VNX_LRESULT {
    return ++messages < 20 ? 1 : 0;
  });
  ASSERT_EQ(host_->InitializeNotification(window.Handle(), 0x0401), S_OK);
  LONG result = -1;
  EXPECT_EQ(motor_->DownloadEx(Bstr(image_.string()).get(), 0, &result), S_OK) << TakeFailure().description;
  EXPECT_EQ(result, 0);
  EXPECT_GT(messages, 20) << "the clean-up reports its progress too";
  EXPECT_EQ(StoredIn(0).body, "END\n");
  EXPECT_TRUE(StoredIn(0).passes);
  host_->InitializeNotification(0, 0);
  motor_.Reset();
  host_.Reset();
  EXPECT_EQ(Answer(2), "24576/450") << "no motor is left asleep";
}

std::vector<Cell> AllCells() {
  std::vector<Cell> cells;
  for (Operation operation : {Operation::Scan, Operation::Download, Operation::HostDownload, Operation::Upload,
                              Operation::MemoryWrite, Operation::MemoryRead})
    for (Fault fault : {Fault::EchoStops, Fault::EchoAltered, Fault::SlowAnswers, Fault::Silent, Fault::Dropped})
      cells.push_back({operation, fault});
  return cells;
}

INSTANTIATE_TEST_SUITE_P(EveryFaultInEveryOperation, FaultMatrix, ::testing::ValuesIn(AllCells()), NameOf);

}  // namespace
}  // namespace velkor::engine::testing
