// Motor memory and identity: the exact command sequences of the borrowed
// variables, what they leave in the motor, block transfers and the
// information block.

#include <array>

#include "engine/link/host_link.h"
#include "engine/motor/info_block.h"
#include "engine/motor/motor_memory.h"
#include "engine/motor/motor_record.h"
#include "tests/engine/motor/motor_fixture.h"
#include "velkor/window.h"

namespace velkor::engine::testing {
namespace {

using Lines = std::vector<std::string>;

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
  Sent();
  BYTE value = 0;
  ASSERT_EQ(motor->GetMotorByte(100, &value), S_OK);
  EXPECT_EQ(value, 0x5A);
  EXPECT_EQ(Sent(), (Lines{"Rab[0]", "EPTR=100", "VLD(ab[0],1)", "Rab[0]", "ab[0]=253"}));
  EXPECT_EQ(SettledVariable(0, "ab[0]", -3), -3);
}

TEST_F(MotorMemoryTest, LongWriteStoresBigEndianWaitsAndRestores) {
  ComPtr<IVNXMotor> motor = Motor(1);
  SetVariable(0, "aaa", -123456);
  ASSERT_EQ(motor->SetMotorLong(200, 5), S_OK);
  EXPECT_EQ(Sent(), (Lines{"Raaa", "aaa=5", "EPTR=200", "VST(aaa,1)", "RBs", "aaa=-123456"}));
  EXPECT_EQ(SettledVariable(0, "aaa", -123456), -123456);
  EXPECT_EQ((std::array{MemoryByte(0, 200), MemoryByte(0, 201), MemoryByte(0, 202), MemoryByte(0, 203)}),
            (std::array<std::uint8_t, 4>{0, 0, 0, 5}));

  EXPECT_MOTOR_FAILURE(motor->SetMotorLong(32000, 5), 19, "Invalid Data!");
  EXPECT_MOTOR_FAILURE(motor->SetMotorByte(32767, 5), 19, "Invalid Data!");
  EXPECT_TRUE(Sent().empty());
}

TEST_F(MotorMemoryTest, WordsAndLongsKeepTheirBitsBothWays) {
  ComPtr<IVNXMotor> motor = Motor(2);
  SetVariable(1, "aw[0]", -1);
  ASSERT_EQ(motor->SetMotorInt(300, -1), S_OK);
  const Lines sent = Sent();
  ASSERT_EQ(sent.size(), 6u);
  // Motor 2 is not the selected motor: every command carries its address.
  EXPECT_EQ(sent[1], "@2 aw[0]=65535");
  EXPECT_EQ(sent[5], "@2 aw[0]=65535") << "a word saved as -1 comes back as 65535";
  SHORT signedWord = 0;
  USHORT word = 0;
  ASSERT_EQ(motor->GetMotorInt(300, &signedWord), S_OK);
  ASSERT_EQ(motor->GetMotorWord(300, &word), S_OK);
  EXPECT_EQ(signedWord, -1);
  EXPECT_EQ(word, 0xFFFF);

  Sent();
  ASSERT_EQ(motor->SetMotorDWord(400, 4294967295u), S_OK);
  EXPECT_EQ(Sent().at(1), "@2 aaa=-1");
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
  EXPECT_EQ(Sent(), (Lines{"Raaa", "EPTR=32256", "VLD(aaa,1)", "Raaa", "aaa=0"}));

  SetVariable(0, "ccc", 77);
  LONG found = 0;
  ASSERT_EQ(motor->GetMotorInfo(&found), S_OK);
  EXPECT_EQ(found, 1);
  const Lines sent = Sent();
  // 149 bytes are 38 longs: three loads of ten and one of eight, through
  // the ten variables aaa..jjj, saved first and restored last.
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "VLD(aaa,10)"), 3);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "VLD(aaa,8)"), 1);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "EPTR=32468"), 2);  // magic word, then the block
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "Rjjj"), 4);  // saved, then read in each load of ten
  EXPECT_EQ(sent.back(), "jjj=0");
  EXPECT_NE(std::find(sent.begin(), sent.end(), "ccc=77"), sent.end());
  EXPECT_EQ(SettledVariable(0, "ccc", 77), 77);

  ASSERT_EQ(motor->GetModelStr(text.Out()), S_OK);
  EXPECT_EQ(text.Utf8(), "SV2315D");
  LONG resolution = 0;
  ASSERT_EQ(motor->GetEncoderResolution(&resolution), S_OK);
  EXPECT_EQ(resolution, 8000);
  ASSERT_EQ(motor->GetSerialNumber(text.Out()), S_OK);
  EXPECT_EQ(text.Utf8(), "A12345");
  EXPECT_TRUE(Sent().empty()) << "served from the cached block";
}

TEST_F(MotorMemoryTest, MotorWithoutCharacterOrPrefixAnswersNotAvailable) {
  ComPtr<IVNXMotor> motor = Motor(2);
  Bstr text;
  ASSERT_EQ(motor->GetSerialNumber(text.Out()), S_OK);
  EXPECT_EQ(text.Utf8(), "N/A");
  ASSERT_EQ(motor->GetModelStr(text.Out()), S_OK);
  EXPECT_EQ(text.Utf8(), "N/A");
}

TEST_F(MotorMemoryTest, MemberChecksComeBeforeAnyTraffic) {
  ASSERT_EQ(host_->ClosePort(), S_OK);
  ComPtr<IVNXMotor> motor;
  ASSERT_EQ(host_->OpenPort(Bstr(port_->DevicePath()).get()), S_OK);
  motor = Motor(1);
  ASSERT_EQ(host_->ClosePort(), S_OK);
  BYTE value = 0;
  EXPECT_MOTOR_FAILURE(motor->GetMotorByte(5, &value), 8, "The serial port in not open!");
  EXPECT_MOTOR_FAILURE(motor->SetMotorByte(32000, 5), 19, "Invalid Data!");  // address before port
  LONG result = 0;
  EXPECT_MOTOR_FAILURE(motor->GetMotorInfo(&result), 8, "The serial port in not open!");
}

// The routines themselves, on a link of the test's own: what the interface
// cannot reach (a motor without EEPROM, progress, partial longs).
class MemoryRoutineTest : public SimulatedBus {
 protected:
  void SetUp() override {
    Start("motor address=1 baud=38400\n", 0);
    link_ = std::make_shared<HostLink>();
    link_->settings.portName = port_->DevicePath();
    link_->settings.baudRate = link_->settings.chainBaudRate = 38400;
    link_->settings.linkType = LinkType::RS485;
    link_->settings.echo = false;
    host_.Reset();  // the port is ours now
    link_->Open();
    link_->SelectMotor(1);
    motor_ = std::make_shared<MotorRecord>(1, link_);
    Sent();
  }

  void Sync() override { ReadVariable(*motor_, "ADDR"); }

  std::shared_ptr<HostLink> link_;
  std::shared_ptr<MotorRecord> motor_;
};

TEST_F(MemoryRoutineTest, WritesDoNothingWithoutEeprom) {
  motor_->hasEeprom = false;
  WriteMotorWord(*motor_, 10, 7);
  WriteMotorByte(*motor_, 10, 7);
  WriteMotorLong(*motor_, 10, 7);
  const std::array<std::uint8_t, 8> bytes{1, 2, 3, 4, 5, 6, 7, 8};
  WriteMotorBlock(*motor_, 10, bytes);
  EXPECT_TRUE(Sent().empty());
}

TEST_F(MemoryRoutineTest, BlockWriteKeepsTheBytesAfterAnOddLengthBlock) {
  const std::array<std::uint8_t, 4> after{0xA1, 0xA2, 0xA3, 0xA4};
  WriteMotorBlock(*motor_, 1032, after);  // the bytes just past the block
  std::vector<std::uint8_t> block(34);
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i + 1);
  SetVariable(0, "aaa", 11);
  Sent();
  WriteMotorBlock(*motor_, 1000, block);
  EXPECT_EQ(SettledVariable(0, "aaa", 11), 11);
  for (int i = 0; i < 34; ++i) EXPECT_EQ(MemoryByte(0, 1000 + i), i + 1) << i;
  EXPECT_EQ(MemoryByte(0, 1034), 0xA3);
  EXPECT_EQ(MemoryByte(0, 1035), 0xA4);
  const Lines sent = Sent();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "VST(aaa,9)"), 1);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "RBs"), 1);

  std::vector<std::uint8_t> back(34);
  ASSERT_TRUE(ReadMotorBlock(*motor_, 1000, back));
  EXPECT_EQ(back, block);
}

TEST_F(MemoryRoutineTest, LongBlockReadReportsProgressAndCanBeCancelled) {
  std::vector<std::pair<VNX_WPARAM, VNX_LPARAM>> notes;
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
  EXPECT_EQ(notes.front(), (std::pair<VNX_WPARAM, VNX_LPARAM>{8, 150}));
  EXPECT_EQ(notes[1], (std::pair<VNX_WPARAM, VNX_LPARAM>{2, 0}));
  EXPECT_EQ(notes[39], (std::pair<VNX_WPARAM, VNX_LPARAM>{2, 150}));  // the last long is cut short
  EXPECT_EQ(notes.back(), (std::pair<VNX_WPARAM, VNX_LPARAM>{3, 0}));

  // Shorter blocks are read without a word.
  notes.clear();
  std::vector<std::uint8_t> shorter(149);
  ASSERT_TRUE(ReadMotorBlock(*motor_, 32468, shorter));
  EXPECT_TRUE(notes.empty());

  // Cancelled in the second load: no further load, variables restored.
  notes.clear();
  stepsAllowed = 12;
  SetVariable(0, "jjj", 99);
  Sent();
  std::vector<std::uint8_t> cancelled(200, 0xEE);
  EXPECT_FALSE(ReadMotorBlock(*motor_, 32468, cancelled));
  const Lines sent = Sent();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "VLD(aaa,10)"), 2);
  EXPECT_EQ(sent.back(), "jjj=99");
  EXPECT_EQ(cancelled[48], 0xEE) << "nothing stored after the cancel";
  EXPECT_EQ(notes.back(), (std::pair<VNX_WPARAM, VNX_LPARAM>{3, 0}));
}

TEST_F(MemoryRoutineTest, InformationBlockNeedsItsLengthAndChecksum) {
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

TEST(InformationBlockTexts, SerialAndModelFollowTheirLayout) {
  EXPECT_EQ(SerialNumberText(0x41003039u), "A12345");
  EXPECT_EQ(SerialNumberText(0x00003039u), "N/A");
  EXPECT_EQ(SerialNumberText(0x80003039u), "N/A");

  std::vector<std::uint8_t> block(120, 0);
  block[6] = 'S';
  block[8] = 'X';  // a gap in the prefix
  block[12] = 42;  // model number 42
  const char suffix[] = "AB";
  std::copy(suffix, suffix + 2, block.begin() + 13);
  EXPECT_EQ(ModelText(block), "S4X2AB");
  block[6] = 0;
  EXPECT_EQ(ModelText(block), "N/A");

  std::vector<std::uint8_t> summed{0, 0, 0, 0, 200, 100, 44};
  EXPECT_TRUE(InfoBlockChecksumValid(summed));
  summed.back() = 45;
  EXPECT_FALSE(InfoBlockChecksumValid(summed));
}

}  // namespace
}  // namespace velkor::engine::testing
