// RS232 chains: rate synchronisation, chain address set-up, detection and
// reordering, as a client sees them.

#include "tests/engine/chain/chain_fixture.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/serial/serial_port.h"

namespace {

using velkor::Bstr;
using velkor::ComPtr;
using velkor::testing::ChainTest;
using velkor::testing::ErrorDescription;

constexpr const char* kChainOfThree =
    "port chain\n"
    "motor serial=A1101\n"
    "motor serial=A1102\n"
    "motor serial=A1103 firmware=462\n";

constexpr LONG kRaise = 0x100000;
constexpr LONG kThenAddress = 0x400000;

TEST_F(ChainTest, ChainSetUpNumbersMotorsInWiringOrder) {
  Open(kChainOfThree);
  ASSERT_EQ(host_->put_MaxMotors(5), S_OK);
  LONG count = 0;
  ASSERT_EQ(host_->AddressMotorChain(&count), S_OK) << ErrorDescription();
  EXPECT_EQ(count, 3);
  EXPECT_EQ(MotorCount(), 3);
  for (std::size_t motor = 0; motor < 3; ++motor) EXPECT_EQ(SimulatedAddress(motor), int(motor) + 1);
  EXPECT_EQ(SerialAt(1), "A1101");
  EXPECT_EQ(SerialAt(2), "A1102");
  EXPECT_EQ(SerialAt(3), "A1103");
  // Begin with MaxMotors, a step per motor whose echo did not close the
  // chain, the last step, the end.
  EXPECT_EQ(notes_, (std::vector<Note>{{5, 5}, {2, 0}, {2, 1}, {2, 2}, {2, 5}, {3, 0}}));
  // The port is back at the chain rate with echo on, and every motor answers.
  VARIANT_BOOL echo = VARIANT_FALSE;
  ASSERT_EQ(host_->get_Echo(&echo), S_OK);
  EXPECT_EQ(echo, VARIANT_TRUE);
  ComPtr<IVNXMotor> last;
  ASSERT_EQ(host_->GetMotor(3, last.Out()), S_OK);
  Bstr version;
  ASSERT_EQ(last->get_Version(version.Out()), S_OK) << ErrorDescription();
  EXPECT_EQ(version.Utf8(), "462");
}

TEST_F(ChainTest, RateSynchronisationBringsMotorsAtAnyRateBack) {
  Open("port chain\nmotor serial=A1 baud=38400\nmotor serial=A2 baud=38400\n");
  ASSERT_EQ(host_->EstablishChain(), S_OK) << ErrorDescription();
  LONG baud = 0;
  ASSERT_EQ(host_->get_BaudRate(&baud), S_OK);
  EXPECT_EQ(baud, 9600);
  for (std::size_t motor = 0; motor < 2; ++motor)
    EXPECT_EQ(simulator_->WithMotor(0, motor, [](velkor::sim::Firmware& m) { return m.Listening().baud; }), 9600);
  EXPECT_TRUE(notes_.empty());
}

// Another program trying the port all through the rate changes never gets
// it: the port is held from the first rate to the last.
TEST_F(ChainTest, ThePortStaysHeldThroughEveryRate) {
  Open("port chain\nmotor serial=A1 baud=38400\nmotor serial=A2 baud=38400\n");
  std::atomic<bool> scanning{true};
  std::atomic<int> taken{0};
  std::thread other([&] {
    while (scanning) {
      if (velkor::serial::SerialPort::Open(simulator_->DevicePath(0)).ok()) ++taken;
    }
  });
  const HRESULT established = host_->EstablishChain();
  scanning = false;
  other.join();
  EXPECT_EQ(established, S_OK) << ErrorDescription();
  EXPECT_EQ(taken, 0);
}

// A look that fails after the found motors were put to sleep wakes them
// again: here the echo of the first "SLEEP" comes back altered.
TEST_F(ChainTest, AFailedLookLeavesNoMotorAsleep) {
  Open("port chain\nmotor address=1\nmotor address=5\n");
  onNote_ = [&](std::int64_t code, std::int64_t step) {
    if (code != 2 || step != 2) return;  // the last address probed
    velkor::sim::FaultSet faults;
    faults.echoAltersByte = 1;
    simulator_->WithLine(0, [&](velkor::sim::Line& line) { line.Node(1).Arm(faults); });
  };
  LONG result = 0;
  ASSERT_EQ(host_->DetectRS232(1, 0, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 32);
  for (std::size_t motor = 0; motor < 2; ++motor)
    EXPECT_FALSE(simulator_->WithMotor(0, motor, [](velkor::sim::Firmware& m) { return m.Asleep(0); })) << motor;
}

TEST_F(ChainTest, SilentChainCannotBeEstablished) {
  Open("port chain\nmotor serial=A1\nfault motor=1 silent\n");
  ASSERT_EQ(host_->put_MaxMotors(2), S_OK);
  EXPECT_EQ(host_->EstablishChain(), E_FAIL);
  EXPECT_EQ(ErrorDescription(), "Cannot establish a link to Motors!");
  LONG result = 0;
  ASSERT_EQ(host_->DetectRS232(2, 0, &result), S_OK);
  EXPECT_EQ(result, 64);
  EXPECT_EQ(host_->DetectRS232(2, kRaise, &result), E_FAIL);
  EXPECT_EQ(ErrorDescription(), "Cannot establish a link to Motors!");
}

TEST_F(ChainTest, DetectionRefusesBadArgumentsAndClosedPorts) {
  LONG result = 0;
  ASSERT_EQ(host_->DetectRS232(3, 0, &result), S_OK);
  EXPECT_EQ(result, 0x10000);
  EXPECT_EQ(host_->DetectRS232(3, kRaise, &result), E_FAIL);
  EXPECT_EQ(ErrorDescription(), "The serial port in not open!");
  Open(kChainOfThree);
  ASSERT_EQ(host_->DetectRS232(0, 0, &result), S_OK);
  EXPECT_EQ(result, 64);
  EXPECT_EQ(host_->DetectRS232(0, kRaise, &result), E_FAIL);
  EXPECT_EQ(ErrorDescription(), "Invalid Data!");
  EXPECT_TRUE(notes_.empty());
}

TEST_F(ChainTest, DetectionFindsParkedMotorAndMovesItBehindTheOthers) {
  Open("port chain\nmotor serial=A2001 address=1\nmotor serial=A2002 address=2\nmotor serial=A2003 address=114\n");
  LONG result = 0;
  ASSERT_EQ(host_->DetectRS232(3, 0, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(MotorCount(), 3);
  EXPECT_EQ(SimulatedAddress(2), 3);
  EXPECT_EQ(SerialAt(3), "A2003");
  EXPECT_EQ(notes_, (std::vector<Note>{{6, 3}, {2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}, {3, 0}}));
  LONG current = -1;
  ASSERT_EQ(host_->get_DefaultMotor(&current), S_OK);
  EXPECT_EQ(current, 0);
}

TEST_F(ChainTest, DetectionTellsMotorsAboveTheRangeFromMotorsOutsideIt) {
  // Motor 3 answers above MaxMotors only: result 4. Unaddressed motors answer
  // to no address at all, only to "all": result 16.
  Open("port chain\nmotor serial=A1 address=1\nmotor serial=A2 address=2\nmotor serial=A3 address=5\n");
  LONG result = 0;
  ASSERT_EQ(host_->DetectRS232(2, 0, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 4);
  EXPECT_EQ(MotorCount(), 2);
}

TEST_F(ChainTest, UnaddressedChainIsAddressedWhenDetectionAsks) {
  Open(kChainOfThree);
  LONG result = 0;
  ASSERT_EQ(host_->DetectRS232(3, 0, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 16);
  EXPECT_EQ(MotorCount(), 0);
  ASSERT_EQ(host_->DetectRS232(3, kThenAddress, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(MotorCount(), 3);
  EXPECT_EQ(SerialAt(2), "A1102");
}

TEST_F(ChainTest, CancelAtAStepEndsTheScan) {
  Open(kChainOfThree);
  cancelAtStep_ = 1;
  LONG result = 0;
  ASSERT_EQ(host_->DetectRS232(3, kThenAddress, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 0x40000);
  ASSERT_FALSE(notes_.empty());
  EXPECT_EQ(notes_.back(), (Note{3, 0}));
  EXPECT_EQ(MotorCount(), 0);
  // Chain set-up stops the same way, and AddressMotorChain then reports no motor.
  notes_.clear();
  LONG count = -1;
  ASSERT_EQ(host_->AddressMotorChain(&count), S_OK) << ErrorDescription();
  EXPECT_EQ(count, 0);
  EXPECT_EQ(notes_.back(), (Note{3, 0}));
}

TEST_F(ChainTest, ReorderMovesOneMotorOrExchangesTwo) {
  Open(kChainOfThree);
  LONG count = 0;
  ASSERT_EQ(host_->AddressMotorChain(&count), S_OK) << ErrorDescription();
  LONG old = 0;
  Bstr unknown("A9999");
  ASSERT_EQ(host_->ReorderMotors(1, unknown.get(), &old), S_OK) << ErrorDescription();
  EXPECT_EQ(old, -1);
  for (std::size_t motor = 0; motor < 3; ++motor) EXPECT_EQ(SimulatedAddress(motor), int(motor) + 1);

  Bstr third("A1103");
  ASSERT_EQ(host_->ReorderMotors(3, third.get(), &old), S_OK);
  EXPECT_EQ(old, 3);
  ASSERT_EQ(host_->ReorderMotors(1, third.get(), &old), S_OK) << ErrorDescription();
  EXPECT_EQ(old, 3);
  EXPECT_EQ(SimulatedAddress(2), 1);
  EXPECT_EQ(SimulatedAddress(0), 3);
  EXPECT_EQ(RecordedAddress(2), 1);
  EXPECT_EQ(RecordedAddress(0), 3);
  EXPECT_EQ(SerialAt(1), "A1103");
  EXPECT_EQ(SerialAt(3), "A1101");

  ASSERT_EQ(host_->ReorderMotors(7, third.get(), &old), S_OK) << ErrorDescription();
  EXPECT_EQ(old, 0);
  EXPECT_EQ(SimulatedAddress(2), 7);
  EXPECT_EQ(SerialAt(7), "A1103");
  ComPtr<IVNXMotor> gone;
  EXPECT_EQ(host_->GetMotor(1, gone.Out()), E_FAIL);

  EXPECT_EQ(host_->ReorderMotors(0, third.get(), &old), E_FAIL);
  EXPECT_EQ(host_->ReorderMotors(120, third.get(), &old), E_FAIL);
  EXPECT_EQ(ErrorDescription(), "Invalid Data!");
}

}  // namespace
