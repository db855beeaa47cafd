// RS485 buses: detection, serial-number address set-up with its clash
// passes and compaction, and a declared bus.

#include <algorithm>

#include "tests/engine/chain/chain_fixture.h"

namespace {

using velkor::Bstr;
using velkor::ComPtr;
using velkor::testing::ChainTest;
using velkor::testing::ErrorDescription;

TEST_F(ChainTest, SerialNumberSetUpSeparatesLowBitClashesAndCompacts) {
  // A1000 and A1064 agree in the low 6 bits of their serial numbers.
  Open("port bus\n"
       "motor serial=A1000 firmware=462\n"
       "motor serial=A1064 firmware=462\n"
       "motor serial=A1001 firmware=500\n",
       30);
  LONG result = 0;
  ASSERT_EQ(host_->AddressServos(0, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 1);
  ASSERT_EQ(MotorCount(), 3);
  std::vector<int> addresses{SimulatedAddress(0), SimulatedAddress(1), SimulatedAddress(2)};
  std::vector<int> sorted = addresses;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (std::vector<int>{1, 2, 3}));
  // The two separated in the second pass took the lowest free addresses;
  // compaction then moved the third down from 42.
  EXPECT_EQ(addresses, (std::vector<int>{1, 2, 3}));
  for (std::size_t motor = 0; motor < 3; ++motor) EXPECT_EQ(RecordedAddress(motor), addresses[motor]);
  EXPECT_EQ(SerialAt(1), "A1000");
  EXPECT_EQ(SerialAt(2), "A1064");
  EXPECT_EQ(SerialAt(3), "A1001");
  LONG most = 0;
  ASSERT_EQ(host_->get_MaxMotors(&most), S_OK);
  EXPECT_EQ(most, 10);
  LONG isRS485 = 0;
  ASSERT_EQ(host_->get_IsRS485(&isRS485), S_OK);
  EXPECT_EQ(isRS485, 1);
  // The first pass over 64 addresses, one further pass over 65..96 for the
  // clash at 41, each with its own end.
  auto begins = std::count_if(notes_.begin(), notes_.end(), [](const Note& n) { return n.first == 6; });
  auto further = std::count_if(notes_.begin(), notes_.end(), [](const Note& n) { return n.first == 7; });
  auto ends = std::count_if(notes_.begin(), notes_.end(), [](const Note& n) { return n.first == 3; });
  EXPECT_EQ(begins, 1);
  EXPECT_EQ(further, 1);
  EXPECT_EQ(ends, 2);
  ASSERT_GE(notes_.size(), 2u);
  EXPECT_EQ(notes_[0], (Note{6, 64}));
  EXPECT_EQ(notes_[1], (Note{2, 0}));
  auto pass = std::find(notes_.begin(), notes_.end(), Note{7, 32});
  ASSERT_NE(pass, notes_.end());
  EXPECT_EQ(*(pass - 1), (Note{3, 0}));  // the first pass ended before the second began
}

TEST_F(ChainTest, EqualSerialNumbersCannotBeSeparated) {
  Open("port bus\nmotor serial=A4711 firmware=462\nmotor serial=A4711 firmware=462\n", 20);
  LONG result = 0;
  ASSERT_EQ(host_->AddressServos(0, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 64);
  EXPECT_EQ(MotorCount(), 0);
  auto further = std::count_if(notes_.begin(), notes_.end(), [](const Note& n) { return n.first == 7; });
  EXPECT_EQ(further, 5);  // one for each 5-bit group above the low 6 bits
}

TEST_F(ChainTest, CancelledSerialNumberSetUpSaysSo) {
  Open("port bus\nmotor serial=A1001\n", 20);
  cancelAtStep_ = 3;
  LONG result = 0;
  ASSERT_EQ(host_->AddressServos(0, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 0x40000);
  EXPECT_EQ(notes_.back(), (Note{3, 0}));
  EXPECT_EQ(MotorCount(), 0);
}

TEST_F(ChainTest, BusDetectionFindsMotorsAndReaddressesTheParkedOne) {
  Open("port bus\nmotor serial=A1 address=1\nmotor serial=A2 address=2\nmotor serial=A3 address=114 baud=19200\n");
  LONG result = 0;
  ASSERT_EQ(host_->DetectRS485(3, 0, 0, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 1);
  EXPECT_EQ(MotorCount(), 3);
  EXPECT_EQ(SimulatedAddress(2), 3);
  EXPECT_EQ(RecordedAddress(2), 3);  // the new address survives a power cycle
  EXPECT_EQ(simulator_->WithMotor(0, 2, [](velkor::sim::Firmware& m) { return m.Listening().baud; }), 9600);
  EXPECT_EQ(SerialAt(3), "A3");
  EXPECT_EQ(notes_.front(), (Note{6, 4}));
  EXPECT_EQ(notes_.back(), (Note{3, 0}));
}

TEST_F(ChainTest, DeclaredBusIsNotProbed) {
  Open("port bus\nmotor serial=A1 address=1\n");
  EXPECT_EQ(host_->InitRS485(120, 0), E_FAIL);
  EXPECT_EQ(ErrorDescription(), "Invalid Data!");
  ASSERT_EQ(host_->InitRS485(4, 0), S_OK) << ErrorDescription();
  EXPECT_EQ(MotorCount(), 4);
  ComPtr<IVNXMotor> declared;
  EXPECT_EQ(host_->GetMotor(4, declared.Out()), S_OK);
  EXPECT_EQ(host_->GetMotor(5, declared.Out()), E_FAIL);
  EXPECT_EQ(host_->GetMotor(120, declared.Out()), E_FAIL);
  EXPECT_EQ(ErrorDescription(), "Invalid Data!");
  EXPECT_TRUE(notes_.empty());
}

}  // namespace
