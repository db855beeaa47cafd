// Commands and answers through the host link, byte for byte against
// simulated motors on a pseudo-terminal.

#include <gtest/gtest.h>

#include "engine/core/errors.h"
#include "engine/link/host_link.h"
#include "sim/firmware/variables.h"
#include "tests/support/engine_error.h"
#include "tests/support/simulated_motors.h"

using velkor::testing::ErrorCodeOf;

namespace engine = velkor::engine;
using engine::CVNXException;
using engine::ErrorCode;
using engine::HostLink;

namespace {

constexpr const char* kChain =
    "port chain\n"
    "motor address=1 firmware=441\n"
    "motor address=2 firmware=452\n"
    "motor address=3 firmware=463\n";

std::int32_t VariableOf(velkor::sim::Simulator& simulator, std::size_t motor, const char* name) {
  return simulator.WithMotor(0, motor, [&](velkor::sim::Firmware& firmware) {
    return firmware.Vars().Get(*velkor::sim::Variables::Parse(name));
  });
}

class ChainTest : public ::testing::Test {
 protected:
  void Open(const std::string& scenario) {
    simulator_ = velkor::testing::StartMotors(scenario);
    ASSERT_TRUE(simulator_);
    link_.settings.portName = simulator_->DevicePath(0);
    link_.Open();
  }
  std::unique_ptr<velkor::sim::Simulator> simulator_;
  HostLink link_;
};

}  // namespace

TEST(PrepareCommand, CutsTextAndTakesLeadingDigitsAsTheAddress) {
  auto prepared = engine::PrepareCommand("5RPA", true);
  EXPECT_EQ(prepared.address, 5);
  EXPECT_EQ(prepared.text, "RPA");
  prepared = engine::PrepareCommand("0BAUD38400", true);
  EXPECT_EQ(prepared.address, 0);
  EXPECT_EQ(prepared.text, "BAUD38400");
  prepared = engine::PrepareCommand("RP\rRV\nX", true);
  EXPECT_FALSE(prepared.address);
  EXPECT_EQ(prepared.text, "RP");
  EXPECT_EQ(engine::PrepareCommand("12ab", false).text, "12ab");
  EXPECT_EQ(engine::PrepareCommand(std::string(300, 'a'), true).text.size(), 255u);
}

TEST_F(ChainTest, LeadingDigitsSelectAndTheSelectionStays) {
  Open(kChain);
  EXPECT_EQ(link_.SendCommandGetResponse("2RSP", engine::kKeepAddress, true), "24576/452");
  EXPECT_EQ(link_.CurrentAddress(), 2);
  EXPECT_EQ(link_.SendCommandGetResponse("RSP", engine::kKeepAddress, true), "24576/452");
  EXPECT_EQ(link_.SendCommandGetResponse("3RSP", engine::kKeepAddress, true), "24576/463");
}

TEST_F(ChainTest, CommandToAnotherMotorMakesTheNextSelectedCommandReselect) {
  Open(kChain);
  link_.SelectMotor(1);
  link_.SendCommand("a=7", 3, false);  // motor 3, without making it current
  EXPECT_EQ(VariableOf(*simulator_, 2, "a"), 7);
  EXPECT_TRUE(link_.AddressDirty());
  EXPECT_EQ(link_.CurrentAddress(), 1);
  // The motors still listen to 3; the next selected command goes to 1 again.
  EXPECT_EQ(link_.SendCommandGetResponse("RSP", engine::kKeepAddress, true), "24576/441");
  EXPECT_FALSE(link_.AddressDirty());
  // Raw text keeps the selection and its digits.
  link_.SendCommand("b=1", 2, false);
  link_.SendCommand("b=5", engine::kKeepAddress, false);
  EXPECT_EQ(VariableOf(*simulator_, 1, "b"), 5);
}

TEST_F(ChainTest, EchoFaultsAreTheirOwnErrors) {
  Open("port chain\nmotor address=1\nfault motor=1 echo-stops-after=3\n");
  EXPECT_EQ(ErrorCodeOf([&] { link_.SendCommand("a=5", 1, true); }), 6u) << "an echo that stops short";
  link_.ClearBuffer();
  EXPECT_EQ(link_.SendCommandGetResponse("RSP", 1, true), "24576/450") << "the fault struck once";

  simulator_.reset();
  link_.Close();
  Open("port chain\nmotor address=1\nfault motor=1 echo-alters-byte=2\n");
  EXPECT_EQ(ErrorCodeOf([&] { link_.SendCommand("RSP", 1, true); }), 7u) << "an echo with one byte altered";
}

TEST_F(ChainTest, SilenceIsNoEchoOrNoAnswer) {
  Open("port chain\nmotor address=1\nfault motor=1 silent\n");
  link_.settings.echoTimeoutConst = 20;
  EXPECT_EQ(ErrorCodeOf([&] { link_.SendCommand("RSP", 1, true); }), 6u);
  link_.settings.echo = false;
  link_.settings.timeout = 50;
  EXPECT_EQ(ErrorCodeOf([&] { link_.SendCommandGetResponse("RSP", 1, true); }), 5u);
}

TEST_F(ChainTest, RawReadsReturnWhatIsWaitingOrNothing) {
  Open(kChain);
  EXPECT_EQ(link_.ReadBytes(10, 0), "") << "nothing waiting: at once, no error";
  link_.SendCommand("RSP", 2, true);  // the answer is left waiting
  std::string line;
  for (int tries = 0; tries < 200 && !link_.ReadLineNonBlocking(line); ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(line, "24576/452");
  EXPECT_EQ(link_.BytesAvailable(), 0);
  // A line is cut at the buffer size less one, never overrun.
  link_.SendCommand("RSP", 2, true);
  EXPECT_EQ(link_.ReadLine(4, 400), "245");
}

TEST_F(ChainTest, TimeoutsFollowTheLineAndTheSettings) {
  Open(kChain);
  link_.SetPortTimeouts(-1);
  EXPECT_EQ(link_.PortTimeouts().readMultiplier, 13u) << "(10 + 1) * 12000 / 9600";
  EXPECT_EQ(link_.PortTimeouts().readConstant, 100u);
  EXPECT_EQ(link_.PortTimeouts().writeMultiplier, 1u);
  EXPECT_EQ(link_.PortTimeouts().writeConstant, 2u);
  link_.SetPortTimeouts(0);
  EXPECT_EQ(link_.PortTimeouts().readInterval, velkor::serial::kNoWait);
  link_.settings.txTimeoutMul = 3;
  link_.settings.echoTimeoutMul = 7;
  link_.SetPortTimeouts(-1);
  EXPECT_EQ(link_.PortTimeouts().readMultiplier, 7u);
  EXPECT_EQ(link_.PortTimeouts().writeConstant, 6u);
  link_.SetPortTimeouts(250);
  EXPECT_EQ(link_.PortTimeouts().readConstant, 250u);
  EXPECT_EQ(link_.PortTimeouts().readMultiplier, 0u);

  link_.settings.echoTimeoutMul = -1;
  link_.settings.baudRate = 0;
  EXPECT_EQ(ErrorCodeOf([&] { link_.SetPortTimeouts(-1); }), 19u) << "a rate of 0 never reaches the division";
}

TEST(HostLink, ClosedLinkAndUnknownPortsAreRefused) {
  HostLink link;
  EXPECT_EQ(link.PortHandle(), -1);
  EXPECT_EQ(ErrorCodeOf([&] { link.SendCommand("RP", 1, true); }), 8u);
  EXPECT_EQ(ErrorCodeOf([&] { link.ClearBuffer(); }), 8u);
  link.settings.portName = "/dev/velkor-no-such-port";
  EXPECT_EQ(ErrorCodeOf([&] { link.Open(); }), 2u);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(link.CharDelay(), 2) << "9600 baud, 8N1";
  link.settings.baudRate = 38400;
  EXPECT_EQ(link.CharDelay(), 1);
  link.settings.parity = 2;
  link.settings.stopBits = 2;
  link.settings.baudRate = 2400;
  EXPECT_EQ(link.CharDelay(), 8) << "13 bits x 1500 / 2400, rounded up";
}
