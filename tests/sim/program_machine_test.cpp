// Stored programs as the motor runs them: compiled by our compiler, stored
// as a download stores them, and run statement by statement in simulated
// time, with the host's commands carried out in between.

#include <gtest/gtest.h>

#include <string>

#include "engine/compiler/compiler.h"
#include "sim/firmware/firmware.h"

namespace velkor::sim {
namespace {

using std::chrono::milliseconds;

std::string ImageOf(const std::string& program) {
  engine::compiler::Compiler compiler;
  compiler.Compile(program);
  EXPECT_EQ(compiler.Errors().ErrorCount(), 0) << program;
  return compiler.Image();
}

// A motor holding `program`, not yet running it.
Firmware Loaded(const std::string& program) {
  MotorConfig config;
  config.program = ImageOf(program);
  config.autorun = false;
  return Firmware(config);
}

void RunFor(Firmware& motor, milliseconds span) { motor.AdvanceTo(motor.Now() + span); }

std::int32_t Var(const Firmware& motor, const char* name) { return motor.Vars().Get(*Variables::Parse(name)); }

TEST(ProgramMachine, EveryConstructTakesTheJumpsStoredWithTheImage) {
  Firmware motor = Loaded(R"(a=0
b=0
IF a==1
  r=1
ELSEIF a==0
  IF b==1
    r=2
  ELSEIF b==0
    r=3
  ELSE
    r=4
  ENDIF
ELSE
  r=5
ENDIF
i=0
s=0
WHILE i<5
  i=i+1
  SWITCH i
    CASE 1
      s=s+1
      BREAK
    CASE 2
      s=s+10
    CASE 3
      s=s+100
      BREAK
    DEFAULT
      s=s+1000
  ENDS
LOOP
GOSUB10
x=7 y=x*-2 z=-x-3 al[7]=42 w=al[x+0] q=y<z
END
C10
  d=d+1
  GOSUB11
  RETURN
C11
  d=d+10
  RETURN
)");
  motor.Command("RUN");
  EXPECT_TRUE(motor.ProgramRunning());
  RunFor(motor, milliseconds(100));
  EXPECT_FALSE(motor.ProgramRunning());
  EXPECT_EQ(Var(motor, "r"), 3) << "nested IF inside an ELSEIF";
  EXPECT_EQ(Var(motor, "s"), 2211) << "CASE 2 falls into CASE 3; BREAK leaves the SWITCH, not the WHILE";
  EXPECT_EQ(Var(motor, "d"), 11) << "GOSUB nests and returns";
  EXPECT_EQ(motor.Machine().ReturnDepth(), 0u);
  EXPECT_EQ(Var(motor, "y"), -14);
  EXPECT_EQ(Var(motor, "z"), -10);
  EXPECT_EQ(Var(motor, "w"), 42);
  EXPECT_EQ(Var(motor, "q"), 1) << "-14 < -10";
  EXPECT_EQ(motor.Command("RBs"), "0\r");
}

TEST(ProgramMachine, StatementsTakeTimeAndTheHostIsServedInBetween) {
  Firmware motor = Loaded("t=CLK\nWAIT=4069\nu=CLK-t\nn=0\nWHILE UAI==1\n  n=n+1\nLOOP\nUE=1\nEND\n");
  motor.Command("RUN");
  RunFor(motor, milliseconds(500));
  EXPECT_TRUE(motor.Machine().WaitingForSample());
  RunFor(motor, milliseconds(700));
  EXPECT_NEAR(Var(motor, "u"), 4069, 2) << "WAIT counts servo samples";
  const std::int32_t before = Var(motor, "n");
  RunFor(motor, milliseconds(1000));
  // Three statements an iteration, one statement a sample.
  EXPECT_NEAR(Var(motor, "n") - before, 4069 / 3, 10);
  EXPECT_EQ(motor.Command("RBk RP"), "1\r0\r") << "the host is answered while the program loops";
  EXPECT_GE(motor.Machine().Line(), 5);
  motor.SetInput('A', false);  // an active input reads 0
  RunFor(motor, milliseconds(5));
  EXPECT_FALSE(motor.ProgramRunning());
  EXPECT_EQ(motor.Outputs(), 1 << 4);
  EXPECT_EQ(motor.Command("RUE RBk"), "1\r0\r");

  Firmware looping = Loaded("C1\nc=c+1\nGOTO1\nEND\n");
  looping.Command("RUN");
  RunFor(looping, milliseconds(100));
  looping.Command("END");  // at once, between two statements
  const std::int32_t stopped = Var(looping, "c");
  RunFor(looping, milliseconds(100));
  EXPECT_EQ(Var(looping, "c"), stopped);
  EXPECT_GT(stopped, 0);
}

TEST(ProgramMachine, TheHostJumpsIntoTheProgramAndReadsOutputPins) {
  Firmware motor = Loaded("C1\nn=n+1\nGOTO1\nEND\nC5\nr=r+1\nRETURN\nC7\nTWAIT\nw=w+1\nGOTO1\n");
  motor.Command("GOSUB5");  // into a program that is not running: it ends at the RETURN
  RunFor(motor, milliseconds(10));
  EXPECT_EQ(Var(motor, "r"), 1);
  EXPECT_FALSE(motor.ProgramRunning());
  motor.Command("GOTO1");
  RunFor(motor, milliseconds(10));
  motor.Command("GOSUB5");  // a running program comes back to where it was
  RunFor(motor, milliseconds(10));
  EXPECT_EQ(Var(motor, "r"), 2);
  EXPECT_TRUE(motor.ProgramRunning());
  EXPECT_EQ(motor.Machine().ReturnDepth(), 0u);
  const std::int32_t counted = Var(motor, "n");
  RunFor(motor, milliseconds(10));
  EXPECT_GT(Var(motor, "n"), counted);
  motor.Command("MV V=65536 A=65536 G GOTO7");
  RunFor(motor, milliseconds(50));
  EXPECT_TRUE(motor.Machine().WaitingForTrajectory());
  motor.Command("GOSUB5");  // a wait cut short by a call is waited again
  RunFor(motor, milliseconds(50));
  EXPECT_EQ(Var(motor, "r"), 3);
  EXPECT_TRUE(motor.Machine().WaitingForTrajectory());
  EXPECT_EQ(Var(motor, "w"), 0);
  motor.Command("GOSUB6");
  EXPECT_EQ(motor.Command("RBs"), "1\r") << "no label 6";

  // A pin made an output reads as the output drives it; G stays an input.
  EXPECT_EQ(motor.Command("UE=0 UEO UGO RU"), "111\r");
  EXPECT_EQ(motor.Command("UEI RU"), "127\r");
}

TEST(ProgramMachine, StackOverflowRestartsAndPowerUp) {
  Firmware deep = Loaded("C1\nk=k+1\nGOSUB1\nEND\n");
  deep.Command("RUN");
  RunFor(deep, milliseconds(100));
  EXPECT_FALSE(deep.ProgramRunning());
  EXPECT_TRUE(deep.Machine().Overflowed());
  EXPECT_EQ(Var(deep, "k"), static_cast<std::int32_t>(ProgramMachine::kReturnDepth) + 1);
  EXPECT_EQ(deep.Command("RBs"), "1\r");

  // STACK empties the return stack, so the same recursion can go on for ever.
  Firmware flat = Loaded("C1\nk=k+1\nSTACK\nGOSUB1\nEND\n");
  flat.Command("RUN");
  RunFor(flat, milliseconds(100));
  EXPECT_TRUE(flat.ProgramRunning());
  EXPECT_GT(Var(flat, "k"), 50);

  // Power-up runs the stored program; RUN? ends it when the host spoke first.
  MotorConfig config;
  config.program = ImageOf("a=1\nRUN?\nb=1\nEND\n");
  Firmware quiet(config);
  RunFor(quiet, milliseconds(10));
  EXPECT_EQ(Var(quiet, "b"), 1);
  Firmware spoken(config);
  spoken.Command("RBk");
  RunFor(spoken, milliseconds(10));
  EXPECT_EQ(Var(spoken, "a"), 1);
  EXPECT_EQ(Var(spoken, "b"), 0);
  config.autorun = false;
  EXPECT_FALSE(Firmware(config).ProgramRunning());
}

TEST(ProgramMachine, TwaitWaitsForTheMoveAndPrintsGoOutAsTheProgramRuns) {
  Firmware motor = Loaded("MP\nP=2000\nV=655360\nA=65536\nG\nTWAIT\nx=@P\nPRINT(\"at \",x,#13)\nEND\n");
  motor.Command("RUN");
  RunFor(motor, milliseconds(20));
  EXPECT_TRUE(motor.ProgramRunning()) << "a move of 2000 counts takes longer";
  EXPECT_EQ(motor.TakeProgramOutput(), "");
  RunFor(motor, milliseconds(2000));
  EXPECT_FALSE(motor.ProgramRunning());
  EXPECT_EQ(Var(motor, "x"), 2000);
  EXPECT_EQ(motor.TakeProgramOutput(), "at 2000\r");
}

// Homing as a motor program does it, on an axis with hard stops at -4000
// and 104000, a limit switch on input D beyond 100000 and an index pulse
// every 4000 counts.
TEST(ProgramMachine, HomingProgramsFindEachKindOfMechanics) {
  auto homed = [](const std::string& program) {
    MotorConfig config;
    config.program = ImageOf(program);
    config.mechanics.hardStops = HardStops{-4000, 104000};
    config.mechanics.limitSwitches.push_back(LimitSwitch{'D', 100000, +1});
    config.mechanics.indexSpacing = 4000;
    Firmware motor(config);
    RunFor(motor, milliseconds(30000));
    EXPECT_FALSE(motor.ProgramRunning()) << program;
    return motor;
  };
  // To the hard stop until the position error trips, back off, call it zero.
  Firmware hardStop = homed(
      "E=500\nA=65536\nV=-262144\nMV\nG\nWHILE Be==0\nLOOP\na=@P\nZS\nMP\nP=a+1000\nG\nTWAIT\nO=0\nh=1\nEND\n");
  EXPECT_EQ(Var(hardStop, "a"), -4000);
  EXPECT_EQ(Var(hardStop, "h"), 1);
  EXPECT_NEAR(hardStop.Shaft().Position(), 0, 1);
  EXPECT_EQ(hardStop.Command("RBe RP"), "0\r0\r");

  // Out to the limit switch, stop, and back to where it released.
  const Firmware limit = homed(
      "A=65536\nV=262144\nMV\nG\nWHILE UDI==1\nLOOP\nb=@P\nX\nTWAIT\nMP\nV=65536\nP=b-100\nG\nTWAIT\nc=UDI\nEND\n");
  EXPECT_GE(Var(limit, "b"), 100000);
  EXPECT_LT(Var(limit, "b"), 100100);
  EXPECT_EQ(Var(limit, "c"), 1) << "back inside, the switch has released";

  // Creep to the first index pulse and take its position.
  const Firmware index = homed("ZS\nA=65536\nV=65536\nMV\nG\nWHILE Bi==0\nLOOP\nX\nTWAIT\nd=I\nEND\n");
  EXPECT_EQ(Var(index, "d"), 4000);
}

}  // namespace
}  // namespace velkor::sim
