// Scenario files: the parser, the shipped scenarios, and what a host finds on
// the lines they describe.
#include <gtest/gtest.h>

#include <filesystem>

#include "host_port.h"

namespace velkor::sim {
namespace {

using namespace std::chrono_literals;
using testing::Answers;
using testing::HostPort;

const std::filesystem::path kScenarios = VELKOR_SIM_SCENARIOS;

TEST(ScenarioParser, ReadsPortsMotorsAndFaults) {
  ScenarioParse parsed = ParseScenario(
      "# two ports\n"
      "port COM7 chain pace\n"
      "motor serial=B17 firmware=462 model=XY12Z resolution=8000 sample=12288 address=3 baud=19200 "
      "eeprom=no channel=1 inputs=5 hostmode=no slots=8\n"
      "motor   # defaults\n"
      "fault motor=2 silent drop-after=12\n"
      "fault motor=1 echo-stops-after=4 echo-alters-byte=2 answer-delay=75\n"
      "\n"
      "port bus dominant\n"
      "motor serial=0x41000010\n"
      "motor echo=on\n");
  ASSERT_TRUE(parsed.errors.empty()) << FormatError(parsed.errors[0]);
  const auto& ports = parsed.scenario.ports;
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].comNumber, 7);
  EXPECT_TRUE(ports[0].pace);
  EXPECT_EQ(ports[0].wiring, Wiring::Chain);
  const MotorConfig& first = ports[0].motors[0].config;
  EXPECT_EQ(first.serial, (std::uint32_t{'B'} << 24) | 17);
  EXPECT_EQ(first.firmware, "462");
  EXPECT_EQ(first.model, "XY12Z");
  EXPECT_EQ(first.resolution, 8000);
  EXPECT_EQ(first.samplePeriod, 12288);
  EXPECT_EQ(first.address, 3);
  EXPECT_EQ(first.baud, 19200);
  EXPECT_FALSE(first.hasEeprom);
  EXPECT_EQ(first.channel, 1);
  EXPECT_EQ(first.inputs, 5);
  EXPECT_FALSE(first.hostMode);
  EXPECT_EQ(first.hostSlots, 8);
  EXPECT_TRUE(ports[0].motors[1].config.hostMode);
  EXPECT_TRUE(first.echo);  // a chain's motors echo unless told not to
  const FaultSet& one = ports[0].motors[0].faults;
  EXPECT_EQ(one.echoStopsAfter, 4);
  EXPECT_EQ(one.echoAltersByte, 2);
  EXPECT_EQ(one.answerDelay, 75ms);
  EXPECT_TRUE(ports[0].motors[1].faults.silent);
  EXPECT_EQ(ports[0].motors[1].faults.dropAfter, 12);
  // Default serial numbers differ from motor to motor.
  EXPECT_NE(ports[0].motors[1].config.serial, ports[1].motors[1].config.serial);
  EXPECT_EQ(ports[0].collisions, BusCollisions::Garbage);
  EXPECT_EQ(ports[1].wiring, Wiring::Bus);
  EXPECT_EQ(ports[1].collisions, BusCollisions::FirstWins);
  EXPECT_FALSE(ports[1].comNumber);
  EXPECT_EQ(ports[1].motors[0].config.serial, 0x41000010u);
  EXPECT_FALSE(ports[1].motors[0].config.echo);  // quiet on a bus
  EXPECT_TRUE(ports[1].motors[1].config.echo);
}

TEST(ScenarioParser, ReportsErrorsWithLineNumbers) {
  const std::pair<const char*, const char*> refused[] = {
      {"motor\n", "line 1: motor before any port"},
      {"port chain\n\nmotor baudrate=9600\n", "line 3: bad motor setting 'baudrate=9600'"},
      {"port chain\nmotor address=128\n", "line 2: bad motor setting 'address=128'"},
      {"port chain\nmotor slots=128\n", "line 2: bad motor setting 'slots=128'"},  // the clock report has 7 bits
      {"port chain\nmotor serial=A16777216\n", "line 2: bad motor setting 'serial=A16777216'"},
      {"port chain\nmotor drive=maybe\n", "line 2: bad motor setting 'drive=maybe'"},
      {"port chain\nmotor program=no-such.vqx\n", "line 2: bad motor setting 'program=no-such.vqx'"},
      {"port chain\nmotor autorun=later\n", "line 2: bad motor setting 'autorun=later'"},
      // The shaft powers up between its stops.
      {"port chain\nmotor hardstops=5,100\n", "line 2: bad motor setting 'hardstops=5,100'"},
      {"port chain\nmotor hardstops=-5\n", "line 2: bad motor setting 'hardstops=-5'"},
      {"port chain\nmotor limit=H,5,+\n", "line 2: bad motor setting 'limit=H,5,+'"},
      {"port chain\nmotor limit=D,5,up\n", "line 2: bad motor setting 'limit=D,5,up'"},
      {"port chain\nmotor index=-4000\n", "line 2: bad motor setting 'index=-4000'"},
      {"port chain\n\nmotor resolution=0 index=yes\n", "line 3: index=yes needs a resolution above 0"},
      {"port chain\nfault motor=1 silent\nmotor\n",
       "line 2: fault names motor '1', but this port has 0 motor(s) so far"},
      {"port chain\nmotor\nfault motor=1 wobbly\n", "line 3: bad fault 'wobbly'"},
      {"port COM2 chain\nmotor\nport COM2 bus\nmotor\n", "line 3: port COM2 is named twice"},
      {"port COM0 chain\nmotor\n", "line 1: bad port name 'COM0' (expected COM1 to COM256)"},
      {"port COM3 dominant chain\nmotor\n",
       "line 1: 'dominant' is for a bus; on a chain motors do not send at once"},
      {"port\nmotor\n", "line 1: port needs its wiring: chain, bus, net or usb"},
      {"port bus\nport chain\nmotor\n", "line 1: port has no motor"},
      {"# nothing\n", "no port in the scenario"},
      {"prot chain\n", "line 1: unknown directive 'prot' (expected port, motor or fault)"},
      // Keys of the network and USB adapters belong to their kind of port.
      {"port net\nmotor listen=10.0.0.2\n", "line 2: bad motor setting 'listen=10.0.0.2'"},
      {"port chain\nmotor listen=127.0.0.2\n", "line 2: bad motor setting 'listen=127.0.0.2'"},
      {"port net\nmotor usb-serial=X\n", "line 2: bad motor setting 'usb-serial=X'"},
      {"port net\nmotor listen=127.0.0.2\nmotor listen=127.0.0.2:10001\n",
       "line 1: two adapters listen on 127.0.0.2:10001"},
      {"port usb discovery=127.0.0.1:0\nmotor\n", "line 1: 'discovery' is for a net port"},
      {"port COM2 net pace\nmotor\n", "line 1: a COM name is for a serial port"},
      {"port usb\nmotor\nfault motor=1 discovery-reply=short\n", "line 3: bad fault 'discovery-reply=short'"},
  };
  for (const auto& [text, error] : refused) {
    std::vector<std::string> messages;
    for (const auto& found : ParseScenario(text).errors) messages.push_back(FormatError(found));
    EXPECT_EQ(messages, std::vector<std::string>{error}) << text;
  }
  EXPECT_FALSE(LoadScenario(kScenarios / "no-such-file.scn").errors.empty());
}

TEST(ScenarioParser, MechanicsAndAutorun) {
  ScenarioParse parsed = ParseScenario(
      "port chain\n"
      "motor hardstops=-10,+20 limit=D,15,+ limit=A,-5,- index=yes resolution=8000 autorun=no\n"
      "motor index=500\n"
      "motor\n");
  ASSERT_TRUE(parsed.errors.empty()) << FormatError(parsed.errors[0]);
  const auto& motors = parsed.scenario.ports.at(0).motors;
  const MotorConfig& first = motors.at(0).config;
  EXPECT_EQ(first.mechanics.hardStops, (HardStops{-10, 20}));
  EXPECT_EQ(first.mechanics.limitSwitches, (std::vector<LimitSwitch>{{'D', 15, 1}, {'A', -5, -1}}));
  EXPECT_EQ(first.mechanics.indexSpacing, 8000);  // the resolution, given after it on the line
  EXPECT_FALSE(first.autorun);
  EXPECT_EQ(motors.at(1).config.mechanics.indexSpacing, 500);
  EXPECT_TRUE(motors.at(1).config.autorun);
  const Mechanics& none = motors.at(2).config.mechanics;
  EXPECT_FALSE(none.hardStops);
  EXPECT_TRUE(none.limitSwitches.empty());
  EXPECT_EQ(none.indexSpacing, 0);
}

TEST(ScenarioParser, DriveAndStoredProgram) {
  ScenarioParse parsed = LoadScenario(kScenarios / "stored-program.scn");
  ASSERT_TRUE(parsed.errors.empty()) << FormatError(parsed.errors[0]);
  const auto& motors = parsed.scenario.ports.at(0).motors;
  ASSERT_EQ(motors.size(), 2u);
  EXPECT_TRUE(motors[0].config.driveOn);
  EXPECT_FALSE(motors[1].config.driveOn);
  // The program file is found beside the scenario, and the motor keeps it.
  Firmware motor(motors[0].config);
  EXPECT_TRUE(motor.Program(false).Passes());
  EXPECT_TRUE(motor.ProgramRunning()) << "a stored program runs at power-up";
  motor.AdvanceTo(std::chrono::milliseconds(50));
  EXPECT_EQ(motor.TakeProgramOutput(), "a=a\r");
}

TEST(ShippedScenarios, AllParse) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kScenarios)) {
    if (entry.path().extension() != ".scn") continue;
    ++files;
    ScenarioParse parsed = LoadScenario(entry.path());
    EXPECT_TRUE(parsed.errors.empty()) << entry.path() << ": " << FormatError(parsed.errors[0]);
  }
  EXPECT_GE(files, 5);
}

// The setup application's demo axis: driven by torque into its positive
// stop, it passes index pulses and trips the limit switch on input D.
TEST(ShippedScenarios, BenchAxisRunsIntoItsStopPastSwitchAndIndex) {
  ScenarioParse parsed = LoadScenario(kScenarios / "bench-axis.scn");
  ASSERT_TRUE(parsed.errors.empty()) << FormatError(parsed.errors[0]);
  Firmware motor(parsed.scenario.ports.at(0).motors.at(0).config);
  EXPECT_EQ(motor.Command("RU RBi"), "127\r0\r");
  motor.Command("MT T=1023");
  motor.AdvanceTo(10s);
  EXPECT_EQ(motor.Command("RP RV RU RBi RI"), "104000\r0\r119\r1\r4000\r");
}

std::unique_ptr<Simulator> StartFile(const std::string& name) {
  return testing::StartScenario(LoadScenario(kScenarios / name));
}

// The first steps of a serial-number address set-up on a bus: every motor
// takes 1 + (serial mod 64); where two share an address their answers collide,
// and the next 5 bits of the serial number part them.
TEST(ShippedScenarios, LowBitsClashIsSeparatedByTheNextBits) {
  auto simulator = StartFile("bus-4-low-bits-clash.scn");
  ASSERT_TRUE(simulator);
  HostPort host(simulator->DevicePath(0));
  ASSERT_TRUE(host.IsOpen());
  host.Write("\x80" "ECHO_OFF\r\x80WAKE\r\x80IFX\r\x80" "END\r\x80" "EPTR=32256\r\x80VLD(dd,1)\r"
             "\x80" "ff=dd&63\r\x80" "ADDR=ff+1\r");
  EXPECT_EQ(host.Drain(), "");
  std::string clash = host.Exchange(41, "Rdd", 1);
  ASSERT_FALSE(clash.empty());
  EXPECT_GE(static_cast<unsigned char>(clash[0]), 0x80);
  int lone = (std::int32_t{'A'} << 24) | 1001;
  EXPECT_TRUE(Answers(host, 42, "Rdd", std::to_string(lone) + "\r"));
  // One motor there: the comparison is true and IFF keeps it quiet.
  host.Exchange(42, "CMP dd==" + std::to_string(lone));
  EXPECT_EQ(host.Exchange(42, "IFF Rdd"), "");
  host.Exchange(42, "IFX");
  host.Write("\xA9IFX\r\xA9" "ff=dd/64\r\xA9" "ff=ff&31\r\xA9" "ADDR=ff+65\r");
  EXPECT_EQ(host.Drain(), "");
  EXPECT_TRUE(Answers(host, 80, "Rdd", std::to_string((std::int32_t{'A'} << 24) | 1000) + "\r"));
  EXPECT_TRUE(Answers(host, 81, "Rdd", std::to_string((std::int32_t{'A'} << 24) | 1064) + "\r"));
}

TEST(ShippedScenarios, SameSerialNeverAnswersClean) {
  auto simulator = StartFile("same-serial.scn");
  ASSERT_TRUE(simulator);
  HostPort host(simulator->DevicePath(0));
  ASSERT_TRUE(host.IsOpen());
  host.Write("\x80" "EPTR=32256\r\x80VLD(dd,1)\r\x80" "ff=dd&63\r\x80" "ADDR=ff+1\r");
  host.Drain();
  std::string answer = host.Exchange(1 + 4711 % 64, "Rdd", 1);
  ASSERT_FALSE(answer.empty());
  EXPECT_TRUE(testing::AllGarbage(answer));
}

TEST(ShippedScenarios, MotorParkedAt114AnswersThereAndMoves) {
  auto simulator = StartFile("parked-114.scn");
  ASSERT_TRUE(simulator);
  HostPort host(simulator->DevicePath(0));
  ASSERT_TRUE(host.IsOpen());
  EXPECT_TRUE(Answers(host, 3, "RBe", "\x83RBe\r"));  // nobody at 3: only the echo
  EXPECT_TRUE(Answers(host, 114, "RBe", "\xF2RBe\r0\r"));
  host.Exchange(114, "ADDR=3");
  EXPECT_TRUE(Answers(host, 3, "RBe", "\x83RBe\r0\r"));
}

}  // namespace
}  // namespace velkor::sim
