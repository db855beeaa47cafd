// The firmware model on its own: commands in, answers out, time stepped by hand.
#include <gtest/gtest.h>

#include <chrono>

#include "sim/firmware/firmware.h"

namespace velkor::sim {
namespace {

MotorConfig Config(int address = 1) {
  MotorConfig config;
  config.address = address;
  config.serial = (std::uint32_t{'B'} << 24) | 54321;
  return config;
}

// Reads memory through the command language, as the host does.
std::int32_t LoadLong(Firmware& motor, int address) {
  motor.Command("EPTR=" + std::to_string(address));
  motor.Command("VLD(aaa,1)");
  std::string answer = motor.Command("Raaa");
  return std::stoi(answer);
}

TEST(FirmwareVariables, ArraysOverlayTheLongsBigEndian) {
  Firmware motor(Config());
  EXPECT_EQ(motor.Command("aaa=305419896"), "");  // 0x12345678
  EXPECT_EQ(motor.Command("Ral[26]"), "305419896\r");
  EXPECT_EQ(motor.Command("Raw[52]"), "4660\r");  // 0x1234: the high half first
  EXPECT_EQ(motor.Command("Raw[53]"), "22136\r");
  EXPECT_EQ(motor.Command("Rab[104]"), "18\r");
  EXPECT_EQ(motor.Command("Rab[107]"), "120\r");
  motor.Command("ab[105]=255");
  EXPECT_EQ(motor.Command("Raaa"), std::to_string(0x12FF5678) + "\r");
  EXPECT_EQ(motor.Command("Rab[105]"), "-1\r");  // bytes and words read signed
  motor.Command("aw[0]=65535");
  EXPECT_EQ(motor.Command("Raw[0]"), "-1\r");
  EXPECT_EQ(motor.Command("Raa"), std::to_string(static_cast<std::int32_t>(0xFFFF0000)) + "\r");
  motor.Command("a=7 b=-3");  // single letters stand apart from the arrays
  EXPECT_EQ(motor.Command("Ra Rb"), "7\r-3\r");
  EXPECT_EQ(motor.Command("Raw[0]"), "-1\r");
}

TEST(FirmwareVariables, TwoTermArithmetic) {
  Firmware motor(Config());
  motor.Command("dd=1000003");
  motor.Command("ff=dd&63");
  EXPECT_EQ(motor.Command("Rff"), "3\r");
  motor.Command("ff=dd/2048");
  EXPECT_EQ(motor.Command("Rff"), "488\r");
  motor.Command("ff=ff&31");
  EXPECT_EQ(motor.Command("Rff"), "8\r");
  motor.Command("ADDR=ff+1");
  EXPECT_EQ(motor.Address(), 9);
  motor.Command("gg=dd/0");  // no fault, no hang: a defined 0
  EXPECT_EQ(motor.Command("Rgg"), "0\r");
  motor.Command("aaa=-2147483648 bbb=aaa-1");  // wraps like 32-bit arithmetic
  EXPECT_EQ(motor.Command("Rbbb"), "2147483647\r");
  motor.Command("aaa=4294967295");
  EXPECT_EQ(motor.Command("Raaa"), "-1\r");
}

TEST(FirmwareMemory, StoreAndLoadThroughEveryWidth) {
  Firmware motor(Config());
  motor.Command("aaa=-2 bbb=70000 ccc=5");
  motor.Command("EPTR=200");
  motor.Command("VST(aaa,3)");
  EXPECT_EQ(motor.Memory().Byte(200), 0xFF);
  EXPECT_EQ(motor.Memory().Byte(203), 0xFE);
  EXPECT_EQ(motor.Memory().Byte(205), 0x01);  // 70000 = 0x00011170, big-endian
  EXPECT_EQ(motor.Memory().Byte(211), 5);
  // The pointer has moved on over every value: the next store follows.
  motor.Command("ab[0]=171 VST(ab[0],1) aw[0]=-2 VST(aw[0],1)");
  EXPECT_EQ(motor.Memory().Byte(212), 171);
  EXPECT_EQ(motor.Memory().Byte(213), 0xFF);  // a word takes two bytes
  EXPECT_EQ(motor.Memory().Byte(214), 0xFE);
  motor.Command("EPTR=204 VLD(aw[8],2)");
  EXPECT_EQ(motor.Command("Raw[8] Raw[9]"), "1\r4464\r");
  motor.Command("EPTR=203 VLD(ab[3],1) VLD(ab[7],1)");
  EXPECT_EQ(motor.Command("Rab[3] Rab[7]"), "-2\r0\r");
  EXPECT_EQ(LoadLong(motor, 204), 70000);
  // Ten longs at a time, consecutive loads continue where the last ended.
  for (int i = 0; i < 12; ++i) motor.Command("aaa=" + std::to_string(i * 11) + " VST(aaa,1)");
  motor.Command("EPTR=208");
  motor.Command("VLD(aaa,10)");
  EXPECT_EQ(motor.Command("Rjjj"), "99\r");
  motor.Command("VLD(aaa,2)");
  EXPECT_EQ(motor.Command("Rbbb"), "121\r");
}

TEST(FirmwareMemory, RefusesWhatDoesNotFit) {
  Firmware motor(Config());
  motor.Command("EPTR=32766");
  motor.Command("aaa=1 VST(aaa,1)");  // would run past the end
  EXPECT_EQ(motor.Memory().Byte(32766), 0xFF);
  EXPECT_EQ(motor.Command("RBs"), "1\r");
  motor.Command("ZS");
  motor.Command("EPTR=32768");
  EXPECT_EQ(motor.Command("RBs"), "1\r");
  motor.Command("ZS VST(zzz,2)");  // no element after zzz
  EXPECT_EQ(motor.Command("RBs"), "1\r");
}

TEST(FirmwareMemory, WithoutEepromStoresGoNowhere) {
  MotorConfig config = Config();
  config.hasEeprom = false;
  Firmware motor(config);
  motor.Command("EPTR=100 aaa=99 VST(aaa,1)");
  EXPECT_EQ(LoadLong(motor, 100), -1);
  EXPECT_EQ(static_cast<std::uint32_t>(LoadLong(motor, 32256)), config.serial);
}

TEST(FirmwareIdentity, InformationBlockAndSerialNumber) {
  MotorConfig config = Config();
  config.model = "SV2315DX";
  config.resolution = 8000;
  Firmware motor(config);
  EXPECT_EQ(static_cast<std::uint32_t>(LoadLong(motor, 32256)), config.serial);
  motor.Command("EPTR=32468 VLD(aw[0],2)");
  EXPECT_EQ(motor.Command("Raw[0]"), "-21068\r");  // 0xADB4
  int length = std::stoi(motor.Command("Raw[1]"));
  ASSERT_GT(length, 100);
  ASSERT_LT(length, 300);
  const Eeprom& memory = motor.Memory();
  unsigned sum = 0;
  for (int i = 4; i <= length - 2; ++i) sum += memory.Byte(kInfoBlockAddress + i);
  EXPECT_EQ(sum & 0xFF, memory.Byte(kInfoBlockAddress + length - 1));
  EXPECT_EQ(memory.Byte(kInfoBlockAddress + 6), 'S');
  EXPECT_EQ(memory.Byte(kInfoBlockAddress + 7), 'V');
  EXPECT_EQ(memory.Byte(kInfoBlockAddress + 8), 0);
  EXPECT_EQ(LoadLong(motor, kInfoBlockAddress + 9), 2315);
  EXPECT_EQ(memory.Byte(kInfoBlockAddress + 13), 'D');
  EXPECT_EQ(memory.Byte(kInfoBlockAddress + 14), 'X');
  EXPECT_EQ(memory.Byte(kInfoBlockAddress + 15), 0);
  EXPECT_EQ(static_cast<std::uint32_t>(LoadLong(motor, kInfoBlockAddress + 44)), config.serial);
  EXPECT_EQ(LoadLong(motor, kInfoBlockAddress + 48), 8000);
}

TEST(FirmwareSelection, AddressBytesAndSleep) {
  Firmware motor(Config(3));
  motor.Receive(128 + 2);
  EXPECT_EQ(motor.Command("RBe"), "");  // another motor is selected
  motor.Receive(128 + 3);
  EXPECT_EQ(motor.Command("RBe"), "0\r");
  motor.Receive(128);  // everyone
  EXPECT_EQ(motor.Command("RBe"), "0\r");
  motor.Command("SLEEP");
  EXPECT_EQ(motor.Command("RBe"), "");
  motor.Command("SADDR7");
  EXPECT_EQ(motor.Address(), 3);  // asleep: ignored
  motor.Command("WAKE1");  // the other channel's wake does not wake this one
  EXPECT_EQ(motor.Command("RBe"), "");
  motor.Command("WAKE");
  EXPECT_EQ(motor.Command("RBe"), "0\r");
  // An address byte in the middle of a line throws away what came before.
  for (char c : std::string("RB")) motor.Receive(static_cast<std::uint8_t>(c));
  motor.Receive(128 + 3);
  EXPECT_EQ(motor.Command("Rt"), "0\r");  // "Rt" alone, the variable t
}

TEST(FirmwareSelection, EchoChannelsAndRates) {
  Firmware motor(Config());
  EXPECT_TRUE(motor.Receive('\r').echoed);
  motor.Command("ECHO_OFF1");
  EXPECT_TRUE(motor.EchoOn(0));
  ReceiveResult last;
  for (char c : std::string("ECHO_OFF\r")) last = motor.Receive(static_cast<std::uint8_t>(c));
  EXPECT_TRUE(last.echoed);  // the CR was still echoed: the switch comes after it
  EXPECT_FALSE(motor.Receive('\r').echoed);
  motor.Command("BAUD19200");
  EXPECT_EQ(motor.Listening().baud, 19200);
  motor.Command("BAUD1234");
  EXPECT_EQ(motor.Listening().baud, 19200);
  motor.Command("OCHN(RS2,0,E,38400,1,8,C)");
  EXPECT_EQ(motor.Listening(), (LineFormat{38400, 'E'}));
  motor.Command("OCHN(RS4,1,N,2400,1,8,C)");  // the other channel
  EXPECT_EQ(motor.Listening(), (LineFormat{38400, 'E'}));
}

TEST(FirmwareConditional, IffAnswersOnlyWhenTheComparisonWasFalse) {
  Firmware motor(Config());
  motor.Command("dd=42");
  motor.Command("CMP dd==42");
  EXPECT_EQ(motor.Command("IFF Rdd"), "");
  EXPECT_EQ(motor.Command("Rdd"), "");  // held back until IFX
  motor.Command("IFX");
  EXPECT_EQ(motor.Command("Rdd"), "42\r");
  motor.Command("CMP dd==41");
  EXPECT_EQ(motor.Command("IFF Rdd"), "42\r");
  motor.Command("IFX");
  motor.Command("CMPdd<50 IFF");
  EXPECT_EQ(motor.Command("RBe"), "");
  motor.Command("IFX");
}

TEST(FirmwareReports, IdentityModeAndUnknownCommands) {
  MotorConfig config = Config();
  config.samplePeriod = 24576;
  config.firmware = "462";
  config.driveOn = true;
  Firmware motor(config);
  EXPECT_EQ(motor.Command("RSP"), "24576/462\r");
  EXPECT_EQ(motor.Command(" RMODE"), "P\r");
  EXPECT_EQ(motor.Command("RBs"), "0\r");
  EXPECT_EQ(motor.Command("FROB"), "");
  EXPECT_EQ(motor.Command("RBq"), "");
  EXPECT_EQ(motor.Command("RBs"), "1\r");
  motor.Command("ZS");
  EXPECT_EQ(motor.Command("RBs"), "0\r");
  EXPECT_TRUE(motor.SetStatus('h', true));
  EXPECT_EQ(motor.Command("RMODE RBh RBa"), "E\r1\r1\r");
  motor.Command("OFF");
  EXPECT_EQ(motor.Command("RMODE RBo"), "O\r1\r");
  EXPECT_EQ(motor.Command("RCLK"), "0\r");
  motor.AdvanceTo(std::chrono::nanoseconds(245760 * 10));  // ten samples
  EXPECT_EQ(motor.Command("RCLK"), "10\r");
  motor.Command("CLK=0");
  EXPECT_EQ(motor.Command("RCLK"), "0\r");
}

TEST(FirmwareReports, Inputs) {
  Firmware motor(Config());
  EXPECT_EQ(motor.Command("RU"), "127\r");
  EXPECT_TRUE(motor.SetInput('C', false));
  EXPECT_FALSE(motor.SetInput('H', false));
  EXPECT_EQ(motor.Command("RU"), "123\r");
  EXPECT_EQ(motor.Command("a=UCI  Ra"), "0\r");
  EXPECT_EQ(motor.Command("UCI UDI ZS a=UAI Ra"), "1\r");
}

}  // namespace
}  // namespace velkor::sim
