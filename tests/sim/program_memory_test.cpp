// A motor's program memory: images go in after "LOAD"/"LOADC", come back
// with "UPLOAD", are checked with "RCKS" and run with "RUN".
#include <gtest/gtest.h>

#include <string>

#include "engine/compiler/compiler.h"
#include "host_port.h"

namespace velkor::sim {
namespace {

const std::string kLabels = "00000000040000000000000000";
const std::string kPlainProbe = "$4000000200000008" + kLabels + "a=a END\n";
const std::string kHostProbe = "$40000004BF000015" + kLabels + "PRINT(\"a=a\",#13)\nEND\n";

// What the motor's program sends in `span` of simulated time.
std::string Ran(Firmware& motor, std::chrono::milliseconds span = std::chrono::milliseconds(50)) {
  motor.AdvanceTo(motor.Now() + span);
  return motor.TakeProgramOutput();
}

std::string ImageOf(const std::string& program) {
  engine::compiler::Compiler compiler;
  compiler.Compile(program);
  EXPECT_EQ(compiler.Errors().ErrorCount(), 0) << program;
  return compiler.Image();
}

MotorConfig Config(std::string firmware = "450", bool eeprom = true) {
  MotorConfig config;
  config.address = 2;
  config.firmware = std::move(firmware);
  config.hasEeprom = eeprom;
  return config;
}

// The command, then the image and its end marker byte by byte; the answers.
std::string Download(Firmware& motor, const std::string& image, const std::string& command = "LOAD") {
  std::string answers = motor.Command(command);
  for (char c : image + std::string(kImageEnd)) answers += motor.Receive(static_cast<std::uint8_t>(c)).answer;
  return answers;
}

// This program's normalized text is the program itself: the stored body must
// equal it byte for byte, whatever templates the compiler wrote.
TEST(ProgramImage, TemplatesBecomeTheKeywordsTheyStandFor) {
  const std::string program =
      "a=0\nC1\nIF a==1\nb=2\nELSEIF a==2\nb=3\nELSE\nb=4\nENDIF\nWHILE a<3\na=a+1\nIF a==5\nBREAK\nENDIF\n"
      "LOOP\nSWITCH a\nCASE 3\nb=5\nBREAK\nDEFAULT\nb=6\nENDS\nGOSUB1\nGOTO1\nEND\n";
  StoredProgram stored = StoredProgram::FromImage(ImageOf(program));
  EXPECT_EQ(stored.Body(), program);
  EXPECT_TRUE(stored.Passes());
  std::string kinds;
  for (const StoredJump& jump : stored.Jumps()) kinds += jump.kind;
  EXPECT_EQ(kinds, "IAIEWIXLScXGB");  // ELSEIF has two; DEFAULT, ENDS and labels none
  EXPECT_EQ(stored.Jumps()[4].target, program.find("SWITCH"));  // WHILE: the token after its LOOP
  EXPECT_EQ(stored.Jumps()[12].target, program.find("C1"));  // GOTO1
  // A negative sum makes the compiler write eight digits.
  const std::string high = "PRINT(\"" + std::string(200, '\x80') + "\")\nEND\n";
  EXPECT_TRUE(StoredProgram::FromImage(ImageOf(high)).Passes());
}

TEST(ProgramLoad, ChecksumAnswerTellsAGoodTransferFromABadOne) {
  Firmware motor(Config());
  EXPECT_EQ(motor.Command("RCKS"), "000000 000000 P\r");  // never loaded
  EXPECT_EQ(Download(motor, kPlainProbe), "");
  EXPECT_EQ(motor.Program(false).Body(), "a=a END\n");
  EXPECT_EQ(motor.Command("RCKS"), "000000 000200 P\r");
  std::string altered = kPlainProbe;
  altered[altered.size() - 3] = 'M';  // "a=a EMD"
  Download(motor, altered);
  EXPECT_EQ(motor.Command("RCKS"), "000000 0001FF F\r");
  Download(motor, kPlainProbe.substr(0, kPlainProbe.size() - 2) + "\n");  // "a=a EN"
  EXPECT_EQ(motor.Command("RCKS"), "000000 0001BC F\r");
  Download(motor, "123456789012345");  // the host's abort sequence
  EXPECT_EQ(motor.Command("RCKS RBs"), "000000 000000 F\r0\r");  // nothing was taken as commands

  Firmware without(Config("450", false));
  EXPECT_EQ(Download(without, kHostProbe), "");
  EXPECT_FALSE(without.Loading());
  EXPECT_EQ(without.Command("RCKS UPLOAD RUN"), " P\r\xFF");
}

TEST(ProgramLoad, ImageBytesAreNeitherCommandsNorAddressBytes) {
  Firmware motor(Config());
  // High bytes in a string, FF FF among them; each byte is echoed.
  const std::string program = "PRINT(\"\x81\xFF\xFF\xC3\")\nEND\n";
  motor.Command("LOAD");
  for (char c : ImageOf(program) + std::string(kImageEnd)) {
    ReceiveResult result = motor.Receive(static_cast<std::uint8_t>(c));
    EXPECT_TRUE(result.echoed);
    EXPECT_EQ(result.answer, "");
  }
  EXPECT_EQ(motor.Program(false).Body(), program);
  motor.Command("RUN");
  EXPECT_EQ(Ran(motor), "\x81\xFF\xFF\xC3");
  // Would select motor 1, answer and sleep, were it read as commands.
  EXPECT_EQ(Download(motor, "\x81RBe\rSLEEP\r"), "");
  // The host clearing a program sends the end marker twice: the second
  // leaves the selection alone.
  for (char c : kImageEnd) motor.Receive(static_cast<std::uint8_t>(c));
  EXPECT_EQ(motor.Command("RBe"), "0\r");
}

TEST(ProgramLoad, UploadAndTheCompiledProgramOfServoMotors) {
  Firmware plain(Config("450"));
  const std::string program = "a=1\nIF a==1\nb=2\nENDIF\nEND\n";
  Download(plain, ImageOf(program));
  EXPECT_EQ(plain.Command("UPLOAD"), program + "\xFF");
  EXPECT_EQ(plain.Command("UP"), program + "\xFF");
  EXPECT_EQ(plain.Command("LOADC"), "");
  EXPECT_FALSE(plain.Loading());
  EXPECT_EQ(plain.Command("RCKSC UPLOADC RBs"), "1\r");

  Firmware servo(Config("462"));
  Download(servo, kPlainProbe, "LOADC");
  EXPECT_EQ(servo.Command("RCKSC UPLOADC"), "000000 000200 P\ra=a END\n\xFF");
  EXPECT_EQ(servo.Command("RCKS UPLOAD RBs"), "000000 000000 P\r\xFF" "0\r");  // the plain one is apart
}

TEST(ProgramRun, PrintGoesOutOnTheWiredChannel) {
  Firmware motor(Config());
  Download(motor, kHostProbe);
  EXPECT_EQ(motor.Command("RUN"), "");  // the program speaks as it runs, not in the command's answer
  EXPECT_EQ(Ran(motor), "a=a\r");
  motor.LoadImage(ImageOf("a=7\nPRINT(\"a+1=\",a+1,\" \",#65,#13)\nPRINT1(\"other\")\nEND\nPRINT(\"after\")\n"), false);
  motor.Command("RUN");
  EXPECT_EQ(Ran(motor), "a+1=8 A\r");
  EXPECT_EQ(motor.Command("PRINT(\"x y\",a)"), "x y7");  // from the host as well

  MotorConfig second = Config();
  second.channel = 1;
  Firmware other(second);
  other.LoadImage(ImageOf("PRINT(\"zero\")\nPRINT1(\"a=a\",#13)\nEND\n"), false);
  other.Command("RUN");
  EXPECT_EQ(Ran(other), "a=a\r");
}

// A download as the host runs it on a chain: every other motor asleep, the
// image in pieces of 8 whose echo comes back whole through both motors.
TEST(ProgramOverPty, DownloadCheckUploadAndRunOnAChain) {
  auto simulator = testing::StartScenario("port chain\nmotor address=1\nmotor address=2\n");
  ASSERT_TRUE(simulator);
  testing::HostPort host(simulator->DevicePath(0));
  ASSERT_TRUE(host.IsOpen());
  auto echoed = [&](int address, const std::string& text, const std::string& answer = "") {
    return testing::Answers(host, address, text, testing::Framed(address, text) + answer);
  };
  EXPECT_TRUE(echoed(0, "SLEEP"));
  EXPECT_TRUE(echoed(2, "WAKE"));
  EXPECT_TRUE(echoed(-1, "LOAD"));
  const std::string program = "PRINT(\"\x81=a\",#13)\nEND\n";  // 0x81 would select the first motor
  const std::string image = ImageOf(program);
  const std::string sent = image + std::string(kImageEnd);
  for (std::size_t at = 0; at < sent.size(); at += 8) {
    host.Write(sent.substr(at, 8));
    ASSERT_EQ(host.Read(sent.substr(at, 8).size()), sent.substr(at, 8)) << "piece at " << at;
  }
  EXPECT_TRUE(echoed(-1, "RCKS", image.substr(17, 6) + " " + image.substr(5, 6) + " P\r"));
  EXPECT_TRUE(echoed(-1, "UPLOAD", program + "\xFF"));
  EXPECT_TRUE(echoed(0, "WAKE"));
  EXPECT_TRUE(echoed(2, "RUN", "\x81=a\r"));
  simulator->WithMotor(0, 0, [](Firmware& motor) { EXPECT_EQ(motor.Program(false).Body(), ""); });
}

}  // namespace
}  // namespace velkor::sim
