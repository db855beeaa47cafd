// The firmware's motion on its own: the motor's units, moves and stops, and
// the mechanics the shaft is coupled to, time stepped by hand.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "sim/firmware/firmware.h"

namespace velkor::sim {
namespace {

using namespace std::chrono_literals;

MotorConfig Config(Mechanics mechanics = {}) {
  MotorConfig config;
  config.address = 1;
  config.mechanics = std::move(mechanics);
  return config;
}

int Number(Firmware& motor, const std::string& report) { return std::stoi(motor.Command(report)); }

// 2000 counts per second is 2000 / 4069 counts per sample, x 65536.
TEST(FirmwareMotion, SpeedsAndAccelerationsAreInMotorUnits) {
  const std::pair<std::int32_t, double> rates[] = {{24576, 2000.0}, {12288, 4000.0}};
  for (const auto& [period, countsPerSecond] : rates) {
    MotorConfig config = Config();
    config.samplePeriod = period;
    Firmware motor(config);
    motor.Command("MV V=32213 A=100 G");
    motor.AdvanceTo(10ms);
    EXPECT_EQ(motor.Command("RA"), "100\r") << period;  // still ramping up
    motor.AdvanceTo(1s);
    EXPECT_EQ(motor.Command("RV RA"), "32213\r0\r") << period;
    const int from = Number(motor, "RP");
    motor.AdvanceTo(2s);
    EXPECT_NEAR(Number(motor, "RP") - from, countsPerSecond, countsPerSecond / 100) << period;
    // The shaft trails its command by 8 samples of travel.
    EXPECT_EQ(Number(motor, "RPE"), std::lround(8 * 32213 / 65536.0)) << period;
  }
}

TEST(FirmwareMotion, PositionMoveRunsAndEnds) {
  Firmware motor(Config());
  motor.Command("MP P=1000 V=32213 A=16 G");
  EXPECT_EQ(motor.Command("RBt"), "1\r");
  motor.AdvanceTo(100ms);
  int position = Number(motor, "RP");
  EXPECT_GT(position, 0);
  EXPECT_LT(position, 1000);
  EXPECT_GT(Number(motor, "RV"), 0);
  EXPECT_EQ(motor.Command("RA"), "16\r");
  EXPECT_GT(Number(motor, "RPE"), 0);
  motor.AdvanceTo(2s);
  EXPECT_EQ(motor.Command("RP RV RBt RPE"), "1000\r0\r0\r0\r");
  motor.Command("a=P");
  EXPECT_EQ(motor.Command("Ra"), "1000\r");
  motor.Command("D=-500 G");  // relative
  EXPECT_EQ(motor.Command("RMODE"), "R\r");
  motor.AdvanceTo(4s);
  EXPECT_EQ(motor.Command("RP"), "500\r");
}

TEST(FirmwareMotion, DriveIsOffUntilGo) {
  Firmware motor(Config());
  EXPECT_EQ(motor.Command("RBo RMODE"), "1\rO\r");
  motor.Command("G");
  EXPECT_EQ(motor.Command("RBo RMODE"), "0\rP\r");
  motor.Command("OFF");
  EXPECT_EQ(motor.Command("RBo RMODE"), "1\rO\r");
  MotorConfig on = Config();
  on.driveOn = true;
  EXPECT_EQ(Firmware(on).Command("RBo"), "0\r");
}

TEST(FirmwareMotion, VelocityModeAndStops) {
  Firmware motor(Config());
  motor.Command("MV V=-16106 A=40 G");  // -1000 counts per second
  motor.AdvanceTo(1s);
  EXPECT_EQ(motor.Command("RV RMODE RBt"), "-16106\rV\r1\r");
  EXPECT_LT(Number(motor, "RP"), -800);
  motor.Command("X");
  motor.AdvanceTo(1050ms);
  EXPECT_EQ(motor.Command("RBt"), "1\r");  // still decelerating
  motor.AdvanceTo(2s);
  EXPECT_EQ(motor.Command("RV RBt"), "0\r0\r");
  motor.Command("G");
  motor.AdvanceTo(3s);
  motor.Command("S");
  EXPECT_EQ(motor.Command("RV RBt"), "0\r0\r");
  motor.Command("MP P=5 V=0 G");  // no speed: no move
  EXPECT_EQ(motor.Command("RBt"), "0\r");
}

TEST(FirmwareMotion, PresentPositionLimitsAndGains) {
  Firmware motor(Config());
  motor.Command("MV V=32213 A=100 G");
  motor.AdvanceTo(500ms);
  motor.Command("O=1234");  // stops the move where it is and renames the spot
  EXPECT_EQ(motor.Command("RBt RP RPE"), "0\r1234\r0\r");
  motor.AdvanceTo(600ms);
  EXPECT_EQ(motor.Command("RP"), "1234\r");
  EXPECT_EQ(motor.Command("a=@P b=@PE Ra Rb"), "1234\r0\r");
  motor.Command("MV G");
  motor.AdvanceTo(1s);
  EXPECT_EQ(motor.Command("a=@V b=@PE Ra Rb"), "32213\r4\r");

  EXPECT_EQ(motor.Command("RE RAMPS RKP RKL"), "1000\r1023\r42\r20\r");
  motor.Command("E=200 AMPS=511 KP=100 KG=-5 F");
  EXPECT_EQ(motor.Command("RE RAMPS RKP RKG RBs"), "200\r511\r100\r-5\r0\r");
  EXPECT_EQ(motor.GainUpdates(), 1);
  for (const char* refused : {"E=-1", "AMPS=1024", "KP=-1", "KD=32768", "KQ=1", "FROB"}) {
    motor.Command("ZS");
    motor.Command(refused);
    EXPECT_EQ(motor.Command("RBs RE RAMPS RKP RKD"), "1\r200\r511\r100\r550\r") << refused;
  }
  motor.Command("ZS MTB");
  EXPECT_EQ(motor.Command("RMODE BRKRLS RBs"), "B\r0\r");
  motor.Command("OFF");
  EXPECT_EQ(motor.Command("RMODE"), "O\r");
}

TEST(FirmwareMechanics, HardStopHoldsTheShaftUntilThePositionErrorTrips) {
  Mechanics mechanics;
  mechanics.hardStops = HardStops{-1000, 1000};
  Firmware motor(Config(mechanics));
  motor.Command("E=500 AMPS=700 MP P=3000 V=32213 A=100 G");
  motor.AdvanceTo(650ms);  // the command is some 220 counts beyond the stop
  EXPECT_EQ(motor.Command("RP RV RBe"), "1000\r0\r0\r");
  EXPECT_GT(Number(motor, "RPE"), 150);
  EXPECT_EQ(motor.AppliedTorque(), 700);
  motor.AdvanceTo(1s);
  EXPECT_EQ(motor.Command("RBe RBa RBo RMODE RBt RP RPE"), "1\r1\r1\rO\r0\r1000\r0\r");
  // What the setup application's "On" button sends.
  motor.Command("ZS MP P=@P G");
  EXPECT_EQ(motor.Command("RBe RBo RMODE RP"), "0\r0\rP\r1000\r");
  motor.Command("P=-2000 G");
  motor.AdvanceTo(3s);
  EXPECT_EQ(motor.Command("RP RBe"), "-1000\r1\r");
  EXPECT_EQ(motor.AppliedTorque(), 0);  // the drive is off
}

TEST(FirmwareMechanics, LimitSwitchesHoldTheirInputsActiveBeyondTheirPositions) {
  Mechanics mechanics;
  mechanics.limitSwitches = {{'D', 100, 1}, {'C', -100, -1}};
  Firmware motor(Config(mechanics));
  EXPECT_EQ(motor.Command("RU RBr RBl"), "127\r0\r0\r");
  motor.Command("MP P=150 V=32213 A=100 G");
  motor.AdvanceTo(1s);
  EXPECT_EQ(motor.Command("RU RBr RBl a=UDI Ra"), "119\r1\r0\r0\r");
  motor.Command("O=0");  // the switch stays where it is on the axis
  EXPECT_EQ(motor.Command("RU"), "119\r");
  motor.Command("P=-300 G");
  motor.AdvanceTo(2s);
  EXPECT_EQ(motor.Command("RU RBr RBl"), "123\r0\r1\r");
  motor.SetInput('D', false);  // released, the input reads the level set
  EXPECT_EQ(motor.Command("RU"), "115\r");
}

TEST(FirmwareMechanics, IndexPulseLatchesTheFirstPositionPassed) {
  Mechanics mechanics;
  mechanics.indexSpacing = 4000;
  Firmware motor(Config(mechanics));
  EXPECT_EQ(motor.Command("RBi"), "0\r");
  motor.Command("MP P=9000 V=322130 A=1000 G");
  motor.AdvanceTo(1s);
  EXPECT_EQ(motor.Command("RBi RI"), "1\r4000\r");  // not 8000: the latch holds the first
  EXPECT_EQ(motor.Command("Zi RBi a=I Ra"), "0\r4000\r");
  motor.Command("P=5000 G");
  motor.AdvanceTo(2s);
  EXPECT_EQ(motor.Command("RBi RI"), "1\r8000\r");
  EXPECT_EQ(motor.Command("ZS RBi"), "0\r");  // ZS arms it again too
  // Pulses are fixed on the axis; the latch reports them in the counts of the moment.
  motor.Command("O=0 P=-2000 G");
  motor.AdvanceTo(3s);
  EXPECT_EQ(motor.Command("RBi RI"), "1\r-1000\r");
}

TEST(FirmwareMechanics, TorqueModeDrivesTheLoadIntoAHardStop) {
  Mechanics mechanics;
  mechanics.hardStops = HardStops{-1000, 5000};
  Firmware motor(Config(mechanics));
  // No go needed; AMPS caps the torque: (500 - 10 of friction) x 20 counts/s.
  motor.Command("AMPS=500 MT T=1023");
  EXPECT_EQ(motor.Command("RMODE RBo"), "T\r0\r");
  motor.AdvanceTo(100ms);
  EXPECT_EQ(motor.Command("RP RPE"), "980\r0\r");
  EXPECT_EQ(Number(motor, "RV"), std::lround(9800 * 65536 / (1e8 / 24576)));
  motor.AdvanceTo(1s);
  EXPECT_EQ(motor.Command("RP RV RPE RBe RBt"), "5000\r0\r0\r0\r0\r");
  EXPECT_EQ(motor.AppliedTorque(), 500);
  motor.Command("T=-5");  // friction holds it
  motor.AdvanceTo(1500ms);
  EXPECT_EQ(motor.Command("RP"), "5000\r");
  motor.Command("T=-110");
  motor.AdvanceTo(2s);
  EXPECT_EQ(motor.Command("RP"), "4000\r");
  motor.Command("X");  // holds there in position mode
  motor.AdvanceTo(3s);
  EXPECT_EQ(motor.Command("RMODE RP RBt"), "P\r4000\r0\r");
}

}  // namespace
}  // namespace velkor::sim
