// Whatever arrives on a line or in a file, the simulator neither crashes nor
// misbehaves under the sanitizers: random bytes and mangled commands.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "sim/firmware/firmware.h"
#include "sim/lines/line.h"
#include "sim/scenario/scenario.h"

namespace velkor::sim {
namespace {

// Pieces of real commands, so that the random text reaches deep into the
// interpreter instead of stopping at the first unknown word.
const char* const kPieces[] = {"VLD(", "VST(", "aaa", "ab[", "aw[", "al[", "]", ",", ")", "=", "EPTR=", "CMP ",
                               "==", "IFF ", "IFX", "R", "RB", "ADDR=", "SADDR", "BAUD", "OCHN(RS2,", "-", "&",
                               "/", "0", "1", "32767", "99999999999", "2147483648", " ", "\r", "\x80", "\x81",
                               "MP", "MV", "G", "X", "S", "P=", "V=", "A=", "D=", "SLEEP", "WAKE", "ECHO_OFF", "zzz"};

TEST(Robustness, FirmwareSurvivesMangledCommands) {
  std::mt19937 random(12345);
  MotorConfig config;
  config.address = 1;
  Firmware motor(config);
  for (int i = 0; i < 200000; ++i) {
    std::string piece = kPieces[random() % std::size(kPieces)];
    if (random() % 8 == 0) piece = std::string(1, static_cast<char>(random() % 256));
    for (char c : piece) {
      ReceiveResult result = motor.Receive(static_cast<std::uint8_t>(c));
      // An answer is always whole lines: the host reads up to CR.
      if (!result.answer.empty()) {
        EXPECT_EQ(result.answer.back(), '\r');
      }
    }
    if (i % 1000 == 0) motor.AdvanceTo(std::chrono::milliseconds(i));
  }
  // Still a working motor afterwards.
  motor.Receive('\r');
  motor.Receive(128);
  motor.Command("WAKE");
  motor.Command("IFX");
  EXPECT_EQ(motor.Command("a=5 Ra"), "5\r");
}

TEST(Robustness, LinesSurviveRandomBytesAtRandomRates) {
  std::mt19937 random(777);
  for (Wiring wiring : {Wiring::Chain, Wiring::Bus}) {
    std::vector<MotorSetup> motors(3);
    motors[1].config.baud = 19200;
    motors[2].faults.answerDelay = std::chrono::milliseconds(5);
    auto line = MakeLine(wiring, motors);
    std::vector<std::uint8_t> out;
    for (int i = 0; i < 20000; ++i) {
      std::vector<std::uint8_t> bytes(random() % 16);
      for (auto& b : bytes) b = static_cast<std::uint8_t>(random() % 256);
      LineFormat port{random() % 2 ? 9600 : 19200, '?'};
      line->FromHost(bytes, port, std::chrono::milliseconds(i), out);
      if (out.size() > 100000) out.clear();
    }
  }
}

TEST(Robustness, ScenarioParserSurvivesNoise) {
  std::mt19937 random(99);
  const std::string words[] = {"port", "motor", "fault", "chain", "bus", "COM3", "motor=1", "serial=A1",
                               "baud=9600", "=", "silent", "echo-stops-after=2", "#", "\n", " ", "address=999"};
  for (int i = 0; i < 2000; ++i) {
    std::string text;
    for (int k = random() % 40; k > 0; --k) {
      text += random() % 10 == 0 ? std::string(1, static_cast<char>(random() % 256)) : words[random() % std::size(words)];
      text += random() % 3 == 0 ? "\n" : " ";
    }
    ScenarioParse parsed = ParseScenario(text);
    for (const auto& error : parsed.errors) EXPECT_FALSE(FormatError(error).empty());
  }
}

}  // namespace
}  // namespace velkor::sim
