// Motor memory and identity: the exact command sequences of the borrowed
// variables, what they leave in the motor, block transfers and the
// information block.

#include <algorithm>

#include "engine/link/host_link.h"
#include "engine/motor/info_block.h"
#include "engine/motor/motor_memory.h"
#include "engine/motor/motor_record.h"
#include "tests/engine/motor/motor_fixture.h"
#include "velkor/window.h"

namespace velkor::engine::testing {
namespace {

std::size_t Count(const Lines& lines, const char* line) {
  return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

class MotorMemoryTest : public SimulatedBus {
 protected:
  void SetUp() override {
    Start("motor address=1 baud=38400 serial=A12345 model=SV2315D resolution=8000\n"
          "motor address=2 baud=38400 serial=0x00003039 model=4200\n",
          2);
  }
};

TEST_F(MotorMemoryTest, ByteReadBorrowsAndRestoresTheByteVariable) {
  ComPtr<IVNXMotor> motor = Motor(1);
  ASSERT_EQ(motor->SetMotorByte(100, 0x5A), S_OK);
  SetVariable(0, "ab[0]", -3);  // the user's value, reported as -3
  BYTE value = 0;
  ASSERT_EQ(motor->GetMotorByte(100, &value), S_OK);
  EXPECT_EQ(value, 0x5A);
  EXPECT_EQ(Sent(), (Lines{"Rab[0]", "Zs", "EPTR=100", "VLD(ab[0],1)", "RBs", "Rab[0]", "ab[0]=253"}));
  ExpectVariable(0, "ab[0]", -3);
}

TEST_F(MotorMemoryTest, LongWriteStoresBigEndianWaitsAndRestores) {
  ComPtr<IVNXMotor> motor = Motor(1);
  SetVariable(0, "aaa", -123456);
  ASSERT_EQ(motor->SetMotorLong(200, 5), S_OK);
  EXPECT_EQ(Sent(), (Lines{"Raaa", "aaa=5", "Zs", "EPTR=200", "VST(aaa,1)", "RBs", "aaa=-123456"}));
  ExpectVariable(0, "aaa", -123456);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(MemoryByte(0, 200 + i), i == 3 ? 5 : 0) << i;

  EXPECT_MOTOR_FAILURE(motor->SetMotorLong(32000, 5), 19, "Invalid Data!");
  EXPECT_MOTOR_FAILURE(motor->SetMotorByte(32767, 5), 19, "Invalid Data!");
  // The whole value counts, not its first byte; nor is there memory below 0
  // or past the end.
  EXPECT_MOTOR_FAILURE(motor->SetMotorLong(31997, 5), 19, "Invalid Data!");
  EXPECT_MOTOR_FAILURE(motor->SetMotorWord(-1, 5), 19, "Invalid Data!");
  LONG value = 0;
  EXPECT_MOTOR_FAILURE(motor->GetMotorLong(32765, &value), 19, "Invalid Data!");
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ(motor->SetMotorLong(31996, 7), S_OK);
  EXPECT_EQ(MemoryByte(0, 31999), 7);
  EXPECT_EQ(MemoryByte(0, 32000), 0xFF) << "erased, as it was";

  // A refusal the motor reported before is no refusal of this access.
  Sync();
  ASSERT_EQ(motor->WriteCommand(Bstr("FROBNICATE").get()), S_OK);
  EXPECT_EQ(motor->GetMotorLong(31996, &value), S_OK) << TakeFailure().description;
  EXPECT_EQ(value, 7);
}

TEST_F(MotorMemoryTest, WordsAndLongsKeepTheirBitsBothWays) {
  ComPtr<IVNXMotor> motor = Motor(2);
  SetVariable(1, "aw[0]", -1);
  ASSERT_EQ(motor->SetMotorInt(300, -1), S_OK);
  // Motor 2 is not the selected motor: every command carries its address.
  // A word saved as -1 comes back as 65535.
  EXPECT_EQ(Sent(), (Lines{"@2 Raw[0]", "@2 aw[0]=65535", "@2 Zs", "@2 EPTR=300", "@2 VST(aw[0],1)", "@2 RBs",
                           "@2 aw[0]=65535"}));
  SHORT signedWord = 0;
  USHORT word = 0;
  ASSERT_EQ(motor->GetMotorInt(300, &signedWord), S_OK);
  ASSERT_EQ(motor->GetMotorWord(300, &word), S_OK);
  EXPECT_EQ(signedWord, -1);
  EXPECT_EQ(word, 0xFFFF);

  ASSERT_EQ(motor->SetMotorDWord(400, 4294967295u), S_OK);
  ULONG dword = 0;
  LONG signedLong = 0;
  ASSERT_EQ(motor->GetMotorDWord(400, &dword), S_OK);
  ASSERT_EQ(motor->GetMotorLong(400, &signedLong), S_OK);
  EXPECT_EQ(dword, 4294967295u);
  EXPECT_EQ(signedLong, -1);
}

TEST_F(MotorMemoryTest, IdentityComesFromTheInformationBlock) {
  ComPtr<IVNXMotor> motor = Motor(1);
  Bstr text;
  // Without a cached block only the serial number is read.
  ASSERT_EQ(motor->GetSerialNumber(text.Out()), S_OK);
  EXPECT_EQ(text.Utf8(), "A12345");
  EXPECT_EQ(Sent(), (Lines{"Raaa", "Zs", "EPTR=32256", "VLD(aaa,1)", "RBs", "Raaa", "aaa=0"}));

  SetVariable(0, "ccc", 77);
  LONG found = 0;
  ASSERT_EQ(motor->GetMotorInfo(&found), S_OK);
  EXPECT_EQ(found, 1);
  const Lines sent = Sent();
  // 149 bytes are 38 longs: three loads of ten and one of eight, through
  // the ten variables aaa..jjj, saved first and restored last.
  EXPECT_EQ(Count(sent, "VLD(aaa,10)"), 3u);
  EXPECT_EQ(Count(sent, "VLD(aaa,8)"), 1u);
  EXPECT_EQ(Count(sent, "EPTR=32468"), 2u);  // magic word, then the block
  EXPECT_EQ(Count(sent, "Rjjj"), 4u);        // saved, then read in each load of ten
  EXPECT_EQ(Count(sent, "ccc=77"), 1u);
  EXPECT_EQ(sent.back(), "jjj=0");
  ExpectVariable(0, "ccc", 77);

  LONG resolution = 0;
  ASSERT_EQ(motor->GetEncoderResolution(&resolution), S_OK);
  EXPECT_EQ(resolution, 8000);
  ASSERT_EQ(motor->GetModelStr(text.Out()), S_OK);
  EXPECT_EQ(text.Utf8(), "SV2315D");
  ASSERT_EQ(motor->GetSerialNumber(text.Out()), S_OK);
  EXPECT_EQ(text.Utf8(), "A12345");
  EXPECT_TRUE(Sent().empty()) << "served from the cached block";

  // A motor without a serial character or a model prefix.
  ASSERT_EQ(Motor(2)->GetSerialNumber(text.Out()), S_OK);
  EXPECT_EQ(text.Utf8(), "N/A");
  ASSERT_EQ(Motor(2)->GetModelStr(text.Out()), S_OK);
  EXPECT_EQ(text.Utf8(), "N/A");
}

TEST_F(MotorMemoryTest, MemberChecksComeBeforeAnyTraffic) {
  ComPtr<IVNXMotor> motor = Motor(1);
  ASSERT_EQ(host_->ClosePort(), S_OK);
  BYTE value = 0;
  EXPECT_MOTOR_FAILURE(motor->GetMotorByte(5, &value), 8, "The serial port in not open!");
  EXPECT_MOTOR_FAILURE(motor->SetMotorByte(32000, 5), 19, "Invalid Data!");  // address before port
  LONG result = 0;
  EXPECT_MOTOR_FAILURE(motor->GetMotorInfo(&result), 8, "The serial port in not open!");
}

// The routines themselves, on a link of the test's own: what the interface
// cannot reach (a motor without EEPROM, progress, partial longs).
class MotorMemoryRoutineTest : public SimulatedBus {
 protected:
  void SetUp() override {
    Start("motor address=1 baud=38400\n", 0);
    host_.Reset();  // the port is ours now
    link_->settings.portName = DevicePath();
    link_->settings.baudRate = link_->settings.chainBaudRate = 38400;
    link_->settings.linkType = LinkType::RS485;
    link_->settings.echo = false;
    link_->Open();
    link_->SelectMotor(1);
    Sent();
  }
  void Sync() override { ReadVariable(*motor_, "ADDR"); }

  std::shared_ptr<HostLink> link_ = std::make_shared<HostLink>();
  std::shared_ptr<MotorRecord> motor_ = std::make_shared<MotorRecord>(1, link_);
};

TEST_F(MotorMemoryRoutineTest, WritesDoNothingWithoutEeprom) {
  motor_->hasEeprom = false;
  WriteMotorWord(*motor_, 10, 7);
  WriteMotorByte(*motor_, 10, 7);
  WriteMotorLong(*motor_, 10, 7);
  const std::vector<std::uint8_t> bytes{1, 2, 3, 4, 5, 6, 7, 8};
  WriteMotorBlock(*motor_, 10, bytes);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(MotorMemoryRoutineTest, BlockWriteKeepsTheBytesAfterAnOddLengthBlock) {
  WriteMotorBlock(*motor_, 1032, std::vector<std::uint8_t>{0xA1, 0xA2, 0xA3, 0xA4});  // just past the block
  std::vector<std::uint8_t> block(34);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i + 1);
  SetVariable(0, "aaa", 11);
  WriteMotorBlock(*motor_, 1000, block);
  ExpectVariable(0, "aaa", 11);
  for (int i = 0; i < 34; ++i) EXPECT_EQ(MemoryByte(0, 1000 + i), i + 1) << i;
  EXPECT_EQ(MemoryByte(0, 1034), 0xA3);
  EXPECT_EQ(MemoryByte(0, 1035), 0xA4);
  const Lines sent = Sent();
  EXPECT_EQ(Count(sent, "VST(aaa,9)"), 1u);
  EXPECT_EQ(Count(sent, "RBs"), 2u) << "the store, and the read of the motor's last bytes";

  std::vector<std::uint8_t> back(34);
  ASSERT_TRUE(ReadMotorBlock(*motor_, 1000, back));
  EXPECT_EQ(back, block);
}

TEST_F(MotorMemoryRoutineTest, LongBlockReadReportsProgressAndCanBeCancelled) {
  using Note = std::pair<VNX_WPARAM, VNX_LPARAM>;
  std::vector<Note> notes;
  std::size_t stepsAllowed = 1000;
  NotificationWindow window([&](std::uint32_t message, VNX_WPARAM code, VNX_LPARAM value) -> VNX_LRESULT {
    EXPECT_EQ(message, 0x400u);
    notes.emplace_back(code, value);
    return code == 2 && value > 0 && --stepsAllowed == 0 ? 0 : 1;
  });
  link_->settings.notificationWindow = window.Handle();
  link_->settings.notificationMessage = 0x400;

  std::vector<std::uint8_t> block(150);
  ASSERT_TRUE(ReadMotorBlock(*motor_, 32468, block));
  EXPECT_EQ(BigEndianLong(block, 0) >> 16, 0xADB4u);
  ASSERT_EQ(notes.size(), 2u + 38u + 1u);
  EXPECT_EQ(notes.front(), Note(8, 150));
  EXPECT_EQ(notes[1], Note(2, 0));
  EXPECT_EQ(notes[39], Note(2, 150));  // the last long is cut short
  EXPECT_EQ(notes.back(), Note(3, 0));

  // Shorter blocks are read without a word.
  notes.clear();
  std::vector<std::uint8_t> shorter(149);
  ASSERT_TRUE(ReadMotorBlock(*motor_, 32468, shorter));
  EXPECT_TRUE(notes.empty());

  // Cancelled in the second load: no further load, variables restored.
  stepsAllowed = 12;
  SetVariable(0, "jjj", 99);
  std::vector<std::uint8_t> cancelled(200, 0xEE);
  EXPECT_FALSE(ReadMotorBlock(*motor_, 32468, cancelled));
  const Lines sent = Sent();
  EXPECT_EQ(Count(sent, "VLD(aaa,10)"), 2u);
  EXPECT_EQ(sent.back(), "jjj=99");
  EXPECT_EQ(cancelled[48], 0xEE) << "nothing stored after the cancel";
  EXPECT_EQ(notes.back(), Note(3, 0));
}

TEST_F(MotorMemoryRoutineTest, InformationBlockNeedsItsLengthAndChecksum) {
  ASSERT_EQ(ReadInfoBlock(*motor_), 149);
  ASSERT_TRUE(motor_->infoBlock);
  const std::uint8_t checksum = (*motor_->infoBlock)[148];

  WriteMotorByte(*motor_, 32468 + 148, static_cast<std::uint8_t>(checksum + 1));
  EXPECT_EQ(ReadInfoBlock(*motor_), 0);
  EXPECT_FALSE(motor_->infoBlock);
  WriteMotorByte(*motor_, 32468 + 148, checksum);
  for (std::uint16_t length : {100, 300}) {
    WriteMotorWord(*motor_, 32470, length);
    EXPECT_EQ(ReadInfoBlock(*motor_), 0) << length;
  }
  WriteMotorWord(*motor_, 32468, 0x1234);
  EXPECT_EQ(ReadInfoBlock(*motor_), 0);
}

// What the motors above do not show: a serial number whose top byte is no
// printable character, and a model prefix with a gap.
TEST(InformationBlockTexts, SerialAndModelFollowTheirLayout) {
  EXPECT_EQ(SerialNumberText(0x80003039u), "N/A");
  std::vector<std::uint8_t> block(120, 0);
  block[6] = 'S';
  block[8] = 'X';
  block[12] = 42;  // model number 42
  block[13] = 'A';
  block[14] = 'B';
  EXPECT_EQ(ModelText(block), "S4X2AB");
  block[6] = 0;
  EXPECT_EQ(ModelText(block), "N/A");
}

}  // namespace
}  // namespace velkor::engine::testing
