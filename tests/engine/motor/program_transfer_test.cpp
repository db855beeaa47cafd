// Program download and upload end to end against simulated motors: what the
// engine sends, what the motor stores, and how failures and cancels leave it.

#include <sys/stat.h>

#include <ctime>
#include <functional>

#include "engine/compiler/compiler.h"
#include "engine/motor/info_block.h"
#include "engine/motor/program_image.h"
#include "tests/engine/motor/motor_fixture.h"
#include "velkor/window.h"

namespace velkor::engine::testing {
namespace {

namespace transfer = ::velkor::engine::transfer;
using Notes = std::vector<std::pair<VNX_WPARAM, VNX_LPARAM>>;
constexpr std::uint32_t kMessage = 0x0401;
const std::string kLabels4000 = "00000000040000000000000000";

std::string Compiled(const std::string& program) {
  compiler::Compiler compiler;
  compiler.Compile(program);
  EXPECT_EQ(compiler.Errors().ErrorCount(), 0) << program;
  return compiler.Image();
}

// An image of this body with a header of the given version; the checksum
// field is computed unless given.
std::string ImageOf(const std::string& body, const char* version = "4000", std::int64_t checksum = -1) {
  std::int32_t sum = 0;
  for (char c : body) sum += static_cast<signed char>(c);
  char header[32];
  std::snprintf(header, sizeof header, "$%s%06X%06X", version,
                static_cast<unsigned>(checksum < 0 ? sum : checksum), static_cast<unsigned>(body.size()));
  return header + kLabels4000 + body;
}

bool Contains(const std::string& bytes, std::string_view part) { return bytes.find(part) != std::string::npos; }
bool Contains(const Lines& lines, std::string_view line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}
Lines::const_iterator LineWith(const Lines& lines, std::string_view part) {
  return std::find_if(lines.begin(), lines.end(), [&](const std::string& line) { return Contains(line, part); });
}

// Transfers on one motor of a bus, with their notifications recorded.
class TransferTest : public SimulatedBus {
 protected:
  void StartWith(const std::string& motor) {
    Start(motor, 1);
    motor_ = Motor(1);
    ASSERT_EQ(host_->InitializeNotification(window_.Handle(), kMessage), S_OK);
  }

  sim::StoredProgram Stored(bool compiled = false) {
    return simulator_->WithMotor(0, 0, [&](sim::Firmware& m) { return m.Program(compiled); });
  }
  void Preload(const std::string& image) {
    simulator_->WithMotor(0, 0, [&](sim::Firmware& m) { m.LoadImage(image, false); });
  }
  std::string File(const std::string& name, const std::string& bytes) {
    const auto path = folder_.path() / name;
    ::velkor::testing::WriteFile(path, bytes);
    return path.string();
  }
  std::string Memory(int address, int length) {
    std::string bytes;
    for (int i = 0; i < length; ++i) bytes += static_cast<char>(MemoryByte(0, address + i));
    return bytes;
  }

  Notes notes_;
  std::function<VNX_LRESULT(VNX_WPARAM, VNX_LPARAM)> reply_ = [](VNX_WPARAM, VNX_LPARAM) { return 1; };
  NotificationWindow window_{[this](std::uint32_t message, VNX_WPARAM code, VNX_LPARAM value) -> VNX_LRESULT {
    if (message != kMessage) return 1;
    notes_.emplace_back(code, value);
    return reply_(code, value);
  }};
  ::velkor::testing::TemporaryFolder folder_;
  ComPtr<IVNXMotor> motor_;
};

TEST_F(TransferTest, DownloadStoresVerifiesAndRecordsTheImage) {
  StartWith("motor address=1 baud=38400\n");
  const std::string image = Compiled("a=1\nWHILE a<3\na=a+1\nLOOP\nEND\n");
  const std::string file = File("move.vqx", image);
  LONG result = -1;
  ASSERT_EQ(motor_->DownloadEx(Bstr(file).get(), 0, &result), S_OK) << TakeFailure().description;
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Stored().Body(), "a=1\nWHILE a<3\na=a+1\nLOOP\nEND\n");
  EXPECT_TRUE(Stored().Passes());
  const Lines sent = Sent();
  EXPECT_TRUE(Contains(sent, "RBo"));
  EXPECT_TRUE(Contains(sent, "RCKS"));
  EXPECT_TRUE(Contains(sent, "@0 WAKE"));
  EXPECT_EQ(notes_.front(), (Notes::value_type{1, static_cast<VNX_LPARAM>(image.size())}));
  EXPECT_EQ(notes_.back(), (Notes::value_type{3, 0}));

  // The record names the file and its time in UTC; the block stays valid.
  const std::string record = Memory(32548, 34);
  EXPECT_EQ(record.substr(0, 9), std::string("move.vqx\0", 9));
  struct stat status {};
  ASSERT_EQ(::stat(file.c_str(), &status), 0);
  std::tm utc{};
  gmtime_r(&status.st_mtime, &utc);
  EXPECT_EQ(static_cast<std::uint8_t>(record[24]), utc.tm_year % 100);
  EXPECT_EQ(static_cast<std::uint8_t>(record[26]), utc.tm_mday);
  EXPECT_EQ(static_cast<std::uint8_t>(record[29]), utc.tm_sec);
  const std::string lengthBytes = record.substr(30, 4);
  EXPECT_EQ(BigEndianLong(std::vector<std::uint8_t>(lengthBytes.begin(), lengthBytes.end()), 0), image.size());
  const int blockLength = MemoryByte(0, 32470) << 8 | MemoryByte(0, 32471);
  const std::string block = Memory(32468, blockLength);
  EXPECT_TRUE(InfoBlockChecksumValid(std::vector<std::uint8_t>(block.begin(), block.end())));
}

TEST_F(TransferTest, ADownloadedProgramRunsWhileTheHostTalksToTheMotor) {
  StartWith("motor address=1 baud=38400\n");
  const std::string program = "WHILE UAI==1\nn=n+1\nLOOP\nUE=1\nC5\nm=m+1\nGOTO5\nEND\n";
  LONG result = -1;
  ASSERT_EQ(motor_->DownloadEx(Bstr(File("wait.vqx", Compiled(program))).get(), 0, &result), S_OK)
      << TakeFailure().description;
  ASSERT_EQ(motor_->WriteCommand(Bstr("RUN").get()), S_OK);
  auto ask = [&](const char* question) {
    Bstr answer;
    EXPECT_EQ(motor_->GetResponseOf(Bstr(question).get(), answer.Out()), S_OK) << question;
    return answer.Utf8();
  };
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ask("RP"), "0");
  EXPECT_EQ(ask("RBk"), "1") << "the loop waits for input A";
  EXPECT_EQ(ask("RUE"), "0");
  simulator_->WithMotor(0, 0, [](sim::Firmware& m) { m.SetInput('A', false); });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (ask("RUE") != "1" && std::chrono::steady_clock::now() < deadline) {
  }
  EXPECT_EQ(ask("RUE"), "1");
  EXPECT_GT(Variable(0, "n"), 0);
  ASSERT_EQ(motor_->WriteCommand(Bstr("END").get()), S_OK);
  EXPECT_EQ(ask("RBk"), "0");
  const std::int32_t ended = Variable(0, "m");
  EXPECT_GT(ended, 0);
  EXPECT_EQ(ask("RBk"), "0");
  EXPECT_EQ(Variable(0, "m"), ended) << "END from the host stops the program at once";
}

TEST_F(TransferTest, ImagesGoInPiecesOfEightBeforeTheEndMarker) {
  StartWith("motor address=1 baud=38400\n");
  LONG result = -1;
  ASSERT_EQ(motor_->DownloadProgramStr(Bstr("123456789").get(), transfer::kForce, &result), S_OK);
  EXPECT_EQ(result, 0);  // not an image: the check fails and the force flag lets it pass
  ASSERT_GE(notes_.size(), 3u);
  EXPECT_EQ(Notes(notes_.begin(), notes_.begin() + 3), (Notes{{1, 9}, {2, 8}, {3, 0}}));
  EXPECT_TRUE(Contains(SentBytes(), std::string("LOAD\r123456789\xFF\xFF\x20", 17)));

  notes_.clear();
  ASSERT_EQ(motor_->DownloadProgramStr(Bstr("12345678").get(), transfer::kForce, &result), S_OK);
  EXPECT_EQ(Notes(notes_.begin(), notes_.begin() + 2), (Notes{{1, 8}, {3, 0}}));
}

TEST_F(TransferTest, TheMotorsChecksumAnswerDecides) {
  StartWith("motor address=1 baud=38400\n");
  const std::string good = ImageOf("END\n\n");
  LONG result = -1;
  ASSERT_EQ(motor_->DownloadProgramStr(Bstr(good).get(), 0, &result), S_OK);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Stored().ChecksumAnswer(), "000000 0000EB P");

  // The header promises another program: status F, error 44, and the empty
  // program replaces what was stored.
  EXPECT_MOTOR_FAILURE(motor_->DownloadProgramStr(Bstr(ImageOf("END\nb=2\n", "4000", 0xEB)).get(), 0, &result), 44,
                       "The program was NOT downloaded successfully!");
  EXPECT_EQ(Stored().Body(), "END\n");
  EXPECT_TRUE(Stored().Passes());
}

TEST_F(TransferTest, AMotorThatIsOnIsStoppedOnlyWhenAsked) {
  StartWith("motor address=1 baud=38400 drive=on\n");
  const std::string file = File("p.vqx", Compiled("END"));
  LONG result = -1;
  EXPECT_MOTOR_FAILURE(motor_->DownloadEx(Bstr(file).get(), 0, &result), 41,
                       "Cannot download programs while motor is on!");
  Lines sent = Sent();
  EXPECT_FALSE(Contains(sent, "LOAD"));
  EXPECT_EQ(sent.back(), "@0 WAKE");

  ASSERT_EQ(motor_->DownloadEx(Bstr(file).get(), transfer::kStopRunningMotor, &result), S_OK);
  EXPECT_EQ(result, 1);
  sent = Sent();
  const auto bo = std::find_if(sent.begin(), sent.end(), [](const std::string& line) { return line.ends_with("RBo"); });
  ASSERT_NE(bo, sent.end()) << ::testing::PrintToString(sent);
  ASSERT_LT(bo + 2, sent.end());
  EXPECT_TRUE((bo + 1)->ends_with("END"));
  EXPECT_TRUE((bo + 2)->ends_with("OFF"));
}

TEST_F(TransferTest, CancelAtTheFirstMessageAbortsAndClears) {
  StartWith("motor address=1 baud=38400\n");
  Preload(Compiled("a=5\nEND"));
  bool first = true;
  reply_ = [&](VNX_WPARAM, VNX_LPARAM) { return std::exchange(first, false) ? 0 : 1; };
  LONG result = -1;
  ASSERT_EQ(motor_->DownloadEx(Bstr(File("p.vqx", Compiled("b=1\nEND"))).get(), 0, &result), S_OK);
  EXPECT_EQ(result, 0);
  const std::string bytes = SentBytes();
  const std::size_t abort = bytes.find(transfer::kAbortSequence);
  ASSERT_NE(abort, std::string::npos);
  EXPECT_NE(bytes.find("$40000000E1", abort), std::string::npos);  // then the empty program
  EXPECT_EQ(Stored().Body(), "END\n");
}

TEST_F(TransferTest, ACancelledClearStartsNoFurtherClear) {
  StartWith("motor address=1 baud=38400\n");
  reply_ = [](VNX_WPARAM code, VNX_LPARAM) { return code == 1 ? 0 : 1; };  // every start is cancelled
  LONG result = -1;
  ASSERT_EQ(motor_->DownloadEx(Bstr(File("p.vqx", Compiled("b=1\nEND"))).get(), 0, &result), S_OK);
  EXPECT_EQ(result, 0);
  // The download's start and the start of the clear it began: no third.
  EXPECT_EQ(std::count(notes_.begin(), notes_.end(), Notes::value_type{1, static_cast<VNX_LPARAM>(Compiled("b=1\nEND").size())}), 1);
  EXPECT_EQ(std::count_if(notes_.begin(), notes_.end(), [](const auto& note) { return note.first == 1; }), 2);
}

TEST_F(TransferTest, ACancelledServoDownloadPutsTheLineRateBack) {
  StartWith("motor address=1 baud=38400 firmware=463\n");
  bool first = true;
  reply_ = [&](VNX_WPARAM, VNX_LPARAM) { return std::exchange(first, false) ? 0 : 1; };
  LONG result = -1;
  ASSERT_EQ(motor_->DownloadProgramStr(Bstr(ImageOf("a=1\nEND\n", "4630")).get(), 0, &result), S_OK)
      << TakeFailure().description;
  EXPECT_EQ(result, 0);
  LONG rate = 0;
  host_->get_BaudRate(&rate);
  EXPECT_EQ(rate, 38400);
  EXPECT_EQ(Stored().Body(), "END\n");
  Bstr version;
  EXPECT_EQ(motor_->GetResponseOf(Bstr("RSP").get(), version.Out()), S_OK);  // the motor still hears the link
}

TEST_F(TransferTest, AnUploadStopsAtItsBuffer) {
  StartWith("motor address=1 baud=38400\n");
  Preload(ImageOf(std::string(40000, '\n')));  // with a CR before each LF, more than 64 KiB
  Bstr text;
  EXPECT_MOTOR_FAILURE(motor_->UploadProgramStr(0, text.Out()), 39, "File too long!");
  EXPECT_EQ(text.get(), nullptr);
}

TEST_F(TransferTest, CompiledImagesGoToServoMotorsAtNineThousandSixHundred) {
  StartWith("motor address=1 baud=38400 firmware=463\n");
  const std::string image = ImageOf("a=1\nEND\n", "4630");
  LONG result = -1;
  ASSERT_EQ(motor_->DownloadEx(Bstr(File("prog.SCX", image)).get(), 0, &result), S_OK) << TakeFailure().description;
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Stored(true).Body(), "a=1\nEND\n");
  const Lines sent = Sent();
  EXPECT_TRUE(Contains(sent, "LOADC"));
  EXPECT_NE(LineWith(sent, "RCKSC"), sent.end());
  // On a bus the rate is changed with OCHN: down before loading, back after.
  const auto lowered = LineWith(sent, ",9600,");
  const auto load = LineWith(sent, "LOADC");
  const auto restored = LineWith(sent, ",38400,");
  EXPECT_LT(lowered, load);
  EXPECT_GT(restored, load);
  EXPECT_NE(restored, sent.end());
  LONG rate = 0;
  host_->get_BaudRate(&rate);
  EXPECT_EQ(rate, 38400);

  EXPECT_MOTOR_FAILURE(motor_->DownloadEx(Bstr(File("big.scx", std::string(4501, 'x'))).get(), 0, &result), 39,
                       "File too long!");
}

TEST_F(TransferTest, UploadsGiveTheProgramWithOrWithoutCarriageReturns) {
  StartWith("motor address=1 baud=38400\n");
  Preload(Compiled("a=1\nEND"));
  Bstr text;
  ASSERT_EQ(motor_->UploadProgramStr(0, text.Out()), S_OK);
  EXPECT_EQ(text.Utf8(), "a=1\r\nEND\r\n");
  ASSERT_EQ(motor_->UpProgramStr(0, text.Out()), S_OK);
  EXPECT_EQ(text.Utf8(), "a=1\nEND\n");
  EXPECT_TRUE(Contains(Sent(), "UP"));

  const std::string file = (folder_.path() / "back.txt").string();
  ASSERT_EQ(motor_->UploadEx(Bstr(file).get()), S_OK);
  EXPECT_EQ(::velkor::testing::ReadFile(file), "a=1\r\nEND\r\n");
  EXPECT_MOTOR_FAILURE(motor_->UploadEx(Bstr((folder_.path() / "no" / "x.txt").string()).get()), 35,
                       "Cannot open the file to write! (" + (folder_.path() / "no" / "x.txt").string() + ")");

  Preload(ImageOf("a=1\n", "4000", 0x123));  // a program that fails its checksum
  EXPECT_MOTOR_FAILURE(motor_->UploadProgramStr(0, text.Out()), 40, "The program in the EEPROM is Corrupted!");
}

TEST_F(TransferTest, AMotorWithoutProgramMemorySaysSo) {
  StartWith("motor address=1 baud=38400 eeprom=no\n");
  Bstr text;
  EXPECT_MOTOR_FAILURE(motor_->UploadProgramStr(0, text.Out()), 36, "The motor has no EEPROM!");
  LONG result = -1;
  EXPECT_MOTOR_FAILURE(motor_->DownloadEx(Bstr(File("p.vqx", Compiled("END"))).get(), 0, &result), 36,
                       "The motor has no EEPROM!");
}

// Host-level transfers by motor number on an RS232 chain, echo-checked.
class HostTransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    simulator_ = ::velkor::testing::StartMotors(
        "port chain\nmotor address=1 baud=38400\nmotor address=2 baud=38400\n");
    ASSERT_TRUE(simulator_);
    ASSERT_EQ(CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host_.OutVoid()), S_OK);
    ASSERT_EQ(host_->put_BaudRate(38400), S_OK);
    ASSERT_EQ(host_->OpenPort(Bstr(simulator_->DevicePath(0)).get()), S_OK);
    LONG result = 0;
    ASSERT_EQ(host_->DetectRS232(2, 0, &result), S_OK);
    LONG count = 0;
    ASSERT_EQ(host_->get_NoOfMotors(&count), S_OK);
    ASSERT_EQ(count, 2);
  }
  sim::StoredProgram Stored(std::size_t motor) {
    return simulator_->WithMotor(0, motor, [&](sim::Firmware& m) { return m.Program(false); });
  }
  std::string File(const std::string& name, const std::string& bytes = "") {
    const auto path = folder_.path() / name;
    if (!bytes.empty()) ::velkor::testing::WriteFile(path, bytes);
    return path.string();
  }

  ::velkor::testing::TemporaryRegistry registry_;
  ::velkor::testing::TemporaryFolder folder_;
  std::unique_ptr<sim::Simulator> simulator_;
  ComPtr<IVNXComm> host_;
};

TEST_F(HostTransferTest, DownloadsToOneMotorOrToAll) {
  const std::string file = File("p.vqx", Compiled("a=2\nEND"));
  ASSERT_EQ(host_->Download(2, Bstr(file).get()), S_OK) << TakeFailure().description;
  EXPECT_EQ(Stored(1).Body(), "a=2\nEND\n");
  EXPECT_EQ(Stored(0).Body(), "");  // motor 1 slept through it
  ASSERT_EQ(host_->Download(0, Bstr(file).get()), S_OK) << TakeFailure().description;
  EXPECT_EQ(Stored(0).Body(), "a=2\nEND\n");

  EXPECT_EQ(host_->Download(3, Bstr(file).get()), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);
  EXPECT_EQ(host_->Download(1, Bstr(File("missing.vqx")).get()), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 34u);
  ASSERT_EQ(host_->ClearEEPROM(2), S_OK);
  EXPECT_EQ(Stored(1).Body(), "END\n\n");
}

TEST_F(HostTransferTest, UploadRefusesAFailedChecksumWhereForceUploadDoesNot) {
  simulator_->WithMotor(0, 0, [&](sim::Firmware& m) { m.LoadImage(ImageOf("a=1\nEND\n", "4000", 0x77), false); });
  const std::string file = File("up.txt");
  EXPECT_EQ(host_->Upload(1, Bstr(file).get()), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 36u);
  EXPECT_FALSE(std::filesystem::exists(file));
  ASSERT_EQ(host_->ForceUpload(1, Bstr(file).get()), S_OK) << TakeFailure().description;
  EXPECT_EQ(::velkor::testing::ReadFile(file), "a=1\r\nEND\r\n");
  EXPECT_EQ(host_->Upload(0, Bstr(file).get()), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);
}

// A motor whose echo goes wrong in the middle of the image: the load is
// ended, and the motor is left with the empty program, not half an image.
TEST_F(HostTransferTest, AnInterruptedDownloadLeavesTheEmptyProgram) {
  simulator_->WithMotor(0, 0, [&](sim::Firmware& m) { m.LoadImage(Compiled("a=9\nEND"), false); });
  bool armed = false;
  NotificationWindow window([&](std::uint32_t, VNX_WPARAM code, VNX_LPARAM) -> VNX_LRESULT {
    if (code == 2 && !armed) {
      armed = true;
      simulator_->WithLine(0, [](sim::Line& line) {
        sim::FaultSet faults = line.Node(0).Faults();
        faults.echoAltersByte = static_cast<int>(line.Node(0).EchoedCount()) + 3;
        line.Node(0).SetFaults(faults);
      });
    }
    return 1;
  });
  ASSERT_EQ(host_->InitializeNotification(window.Handle(), kMessage), S_OK);
  const std::string file = File("p.vqx", Compiled("a=1\nb=2\nc=3\nd=4\nEND"));
  EXPECT_EQ(host_->Download(1, Bstr(file).get()), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 7u);
  EXPECT_EQ(Stored(0).Body(), "END\n\n");
  EXPECT_TRUE(Stored(0).Passes());

  // The same through the motor-level download, which clears with its own
  // empty program.
  armed = false;
  ComPtr<IVNXMotor> motor;
  ASSERT_EQ(host_->GetMotor(1, motor.Out()), S_OK);
  LONG result = -1;
  EXPECT_EQ(motor->DownloadEx(Bstr(file).get(), 0, &result), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 7u);
  EXPECT_EQ(Stored(0).Body(), "END\n");
  host_->InitializeNotification(0, 0);
}

}  // namespace
}  // namespace velkor::engine::testing
