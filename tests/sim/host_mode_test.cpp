// Host mode of the firmware model: packets byte by byte, the status answers,
// the trajectory buffer, and the same through a daisy chain.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "sim/firmware/firmware.h"
#include "sim/lines/line.h"

namespace velkor::sim {
namespace {

constexpr std::int64_t kTickNs = 245760;  // the default sample period, 24576 x 10 ns

std::string Packet(std::uint8_t kind, std::uint32_t value) {
  std::string packet(1, static_cast<char>(kind));
  for (int shift = 24; shift >= 0; shift -= 8) packet.push_back(static_cast<char>(value >> shift));
  return packet;
}
std::string Position(std::int32_t position) { return Packet(0xFA, static_cast<std::uint32_t>(position)); }
std::string Clock(std::uint32_t clock) { return Packet(0xFB, clock); }
std::string Status(std::initializer_list<int> bytes) {
  std::string status;
  for (int b : bytes) status.push_back(static_cast<char>(b));
  return status;
}

// One motor at address 1 with its drive on; time counted in sample ticks.
class HostModeMotor : public ::testing::Test {
 protected:
  void Make(MotorConfig config) {
    config.address = 1;
    config.driveOn = true;
    motor_ = std::make_unique<Firmware>(config);
  }
  std::string Send(const std::string& bytes) {
    std::string answers;
    for (char c : bytes) answers += motor_->Receive(static_cast<std::uint8_t>(c)).answer;
    return answers;
  }
  void At(double ticks) { motor_->AdvanceTo(SimTime{static_cast<std::int64_t>(ticks * kTickNs)}); }
  void Samples(std::initializer_list<HostSample> samples) {
    for (const HostSample& s : samples) Send(Position(s.position) + Clock(static_cast<std::uint32_t>(s.clock)));
  }
  std::unique_ptr<Firmware> motor_;
};

TEST_F(HostModeMotor, EntryAsTheHostChecksItAndStatusBeforeGo) {
  Make({});
  EXPECT_EQ(motor_->Command("RSP"), "24576/450\r");
  motor_->Command("NOPE");  // not understood: Bs
  EXPECT_EQ(motor_->Command("Zs MD RBs"), "0\r");
  EXPECT_TRUE(motor_->HostMode());
  EXPECT_EQ(motor_->Command("RMODE"), "H\r");
  EXPECT_EQ(motor_->Command("Q"), Status({0xF9, 0x80 | 32, 0, 0, 0}));

  MotorConfig without;
  without.hostMode = false;
  Make(without);
  EXPECT_EQ(motor_->Command("Zs MD RBs"), "1\r");
  EXPECT_EQ(motor_->Command("Zs Q RBs"), "1\r");  // no status answer either
  EXPECT_FALSE(motor_->HostMode());
}

TEST_F(HostModeMotor, PacketDataIsRawAndLeavesTheSelectionAlone) {
  Make({});
  // Outside host mode 0xFA is an address byte like any other.
  EXPECT_EQ(Send("\xFA" "RBs\r\x81RBs\r"), "0\r");
  motor_->Command("MD");
  // 0xFF 0xFF, 0x80 and 0xFA inside packets are data.
  Send("\x81" + Position(-2) + "\x80" + Clock(0) + "\x81" + Position(0x00FA80FB) + Clock(0x80));
  EXPECT_EQ(Send("RBs\r"), "0\r");  // still selected after the packets
  Send("\x82" + Position(5) + Clock(0x100));  // for motor 2
  std::deque<HostSample> expected{{0, -2}, {128, 0x00FA80FB}};
  EXPECT_EQ(motor_->Host().Buffered(), expected);
  EXPECT_EQ(Send("\x81Q\r"), Status({0xF9, 0x80 | 30, 0, 0, 0}));
}

TEST_F(HostModeMotor, FollowsTheSamplesAndReportsItsClock) {
  Make({});
  motor_->Command("MD");
  Samples({{0, 0}, {128, 1000}, {256, 1000}, {512, -1000}});
  At(10);  // nothing moves before the go
  EXPECT_EQ(motor_->Command("RP RBt"), "0\r0\r");
  motor_->Command("G");
  At(10 + 64);
  // Halfway to 1000 in 128 samples; the shaft trails by 8 samples of travel
  // (62.5 counts), and the speed is counts per sample x 65536.
  EXPECT_EQ(std::lround(motor_->Host().Position()), 500);
  EXPECT_EQ(motor_->Command("RP RPE RV"), "438\r62\r512000\r");
  EXPECT_EQ(motor_->Command("Q"), Status({0xF9, 0x80 | 29, 0, 0, 64}));
  At(10 + 384);
  EXPECT_EQ(std::lround(motor_->Host().Position()), 0);
  EXPECT_EQ(motor_->Command("RBt"), "1\r");
  std::deque<HostSample> passed{{0, 0}, {128, 1000}, {256, 1000}};
  EXPECT_EQ(motor_->Host().Passed(), passed);
  EXPECT_EQ(motor_->Command("Q"), Status({0xF9, 0x80 | 31, 0, 0x01, 0x80}));

  // Past the last sample: underflow, the motor holds it, the clock stops.
  At(10 + 600);
  EXPECT_EQ(motor_->Command("Q"), Status({0xF9, 0x40, 32, 0, 0}));
  EXPECT_EQ(motor_->Command("RP RBt"), "-1000\r0\r");
  EXPECT_EQ(motor_->HostClock(), 512);
  // "MD" starts over: clock 0, empty buffer, a first sample at 0 again.
  motor_->Command("MD");
  Samples({{0, -1000}});
  EXPECT_EQ(motor_->Command("Q"), Status({0xF9, 0x80 | 31, 0, 0, 0}));
}

TEST_F(HostModeMotor, OverflowAndInvalidStepLatchAStateReport) {
  MotorConfig small;
  small.hostSlots = 2;
  Make(small);
  motor_->Command("MD");
  Samples({{0, 1}, {128, 2}, {256, 3}});
  EXPECT_EQ(motor_->Command("Q"), Status({0xF9, 0x20, 0, 0, 0}));
  motor_->Command("MD G");  // a failed buffer takes nothing more, a new one does
  Samples({{0, 1}, {100, 2}});
  EXPECT_EQ(motor_->Command("Q"), Status({0xF9, 0x04, 1, 0, 0}));
}

TEST_F(HostModeMotor, AutoClockFirmwareDatesPositionsItself) {
  MotorConfig config;
  config.firmware = "476";
  Make(config);
  motor_->Command("MD");
  // How the host ends such a stream: a clock behind a position dates it.
  Send(Position(10) + Position(20) + Clock(1024) + Position(20) + Clock(2048) + Position(30));
  std::deque<HostSample> expected{{0, 10}, {1024, 20}, {2048, 20}, {3072, 30}};
  EXPECT_EQ(motor_->Host().Buffered(), expected);

  config.firmware = "475";  // listed with them, but clocked by the host
  Make(config);
  motor_->Command("MD");
  Send(Position(10) + Position(20) + Clock(0));
  EXPECT_EQ(motor_->Host().Buffered(), std::deque<HostSample>({{0, 20}}));
}

TEST_F(HostModeMotor, PidFactorSpeedsTheClockButNotTheAnsweredPeriod) {
  Make({});
  EXPECT_EQ(motor_->Command("PID3 RBs"), "1\r");
  EXPECT_EQ(motor_->Command("Zs PID2 RBs RSP"), "0\r24576/450\r");
  motor_->Command("MD");
  Samples({{0, 0}, {256, 256}});
  motor_->Command("G");
  At(64);
  EXPECT_EQ(motor_->HostClock(), 128);
  EXPECT_EQ(std::lround(motor_->Host().Position()), 128);
  EXPECT_EQ(motor_->Command("RP RCLK"), "120\r128\r");  // the shaft 8 samples behind
}

TEST_F(HostModeMotor, EndsInPositionModeOrStopsAndStartsOver) {
  Make({});
  motor_->Command("V=1000 A=1000 MD");
  Samples({{0, 0}, {128, 700}, {1152, 700}});
  motor_->Command("G");
  At(64);
  motor_->Command("MP P=700");
  At(600);  // the buffer plays on until the go
  EXPECT_EQ(motor_->Command("RMODE Q"), "H\r" + Status({0xF9, 0x80 | 31, 0, 0x02, 0x58}));
  motor_->Command("G");
  At(5000);
  EXPECT_FALSE(motor_->HostMode());
  EXPECT_EQ(motor_->Command("RMODE RP RBt"), "P\r700\r0\r");

  motor_->Command("MD");
  Samples({{0, 700}, {128, 900}});
  motor_->Command("G");
  At(5064);
  motor_->Command("S");
  At(5200);
  EXPECT_EQ(motor_->Command("RMODE RP"), "P\r800\r");
  motor_->Command("MD");
  EXPECT_EQ(motor_->Command("Q"), Status({0xF9, 0x80 | 32, 0, 0, 0}));
}

// On a chain the motors further down hear every packet (echoed) and the
// status answers of the motors before them.
TEST(HostModeChain, ThreeMotorsTakeTheirOwnPositionsAndTheCommonClock) {
  std::vector<MotorSetup> setups(3);
  for (int i = 0; i < 3; ++i) setups[static_cast<std::size_t>(i)].config.address = i + 1;
  auto line = MakeLine(Wiring::Chain, setups);
  auto send = [&](const std::string& bytes, double ticks) {
    std::vector<std::uint8_t> in(bytes.begin(), bytes.end()), out;
    line->FromHost(in, LineFormat{}, SimTime{static_cast<std::int64_t>(ticks * kTickNs)}, out);
    return std::string(out.begin(), out.end());
  };
  for (int m = 1; m <= 3; ++m) {
    std::string a(1, static_cast<char>(0x80 + m));
    send(a + "MP\r" + a + "PID1\r" + a + "Zs\r" + a + "MD\r", 0);
    EXPECT_EQ(send(a + "RBs\r", 0), a + "RBs\r0\r");
  }
  auto sample = [&](std::int32_t base, std::uint32_t clock, double at) {
    std::string bytes;
    for (int m = 3; m >= 1; --m) bytes += static_cast<char>(0x80 + m) + Position(base * m);
    bytes += "\x80" + Clock(clock);
    EXPECT_EQ(send(bytes, at), bytes);  // every byte echoed, nothing added
  };
  for (std::uint32_t k = 0; k < 4; ++k) sample(static_cast<std::int32_t>(-100 * k), 128 * k, 0);
  send("\x80G\r", 0);
  // Motor 1's clock 250 sends 0xFA through motors 2 and 3: no packet to them.
  EXPECT_EQ(send("\x81Q\r", 250), "\x81Q\r" + Status({0xF9, 0x80 | 30, 0, 0, 0xFA}));
  sample(-400, 512, 250);
  for (std::size_t i = 0; i < 3; ++i) {
    const Firmware& motor = line->Motor(i);
    EXPECT_EQ(motor.Host().Buffered().back(), (HostSample{512, -400 * static_cast<std::int32_t>(i + 1)}));
    EXPECT_EQ(motor.Host().FreeSlots(), 29);
    EXPECT_EQ(std::lround(motor.Host().Position()), std::lround(-100.0 * 250 / 128 * static_cast<double>(i + 1)));
  }
}

}  // namespace
}  // namespace velkor::sim
