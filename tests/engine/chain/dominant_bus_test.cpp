// Serial-number address set-up on a bus where one of two motors sharing an
// address overpowers the other: the clean answer to "RSP" decides whether
// the pair can be separated.

#include <algorithm>

#include "tests/engine/chain/chain_fixture.h"

namespace {

using velkor::testing::ChainTest;
using velkor::testing::ErrorDescription;

// A1000 and A1064 agree in the low 6 bits: both start at address 41, and the
// first in wiring order is the one the host hears there.
std::string ClashAt41(const std::string& dominant, const std::string& other) {
  return "port bus dominant\nmotor serial=A1000 firmware=" + dominant + "\nmotor serial=A1064 firmware=" + other + "\n";
}

long CountOf(const std::vector<std::pair<std::int64_t, std::int64_t>>& notes, std::int64_t code) {
  return std::count_if(notes.begin(), notes.end(), [code](const auto& note) { return note.first == code; });
}

TEST_F(ChainTest, SerialNumberSetUpOnDominantBusSeparatesACleanlyAnsweringClash) {
  // Only the dominant motor's version reaches the host, so the other one's
  // firmware does not matter.
  Open(ClashAt41("462", "450"), 30);
  LONG result = 0;
  ASSERT_EQ(host_->AddressServos(0, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 1);
  ASSERT_EQ(MotorCount(), 2);
  // Separated in the second pass (80 and 81), each to the lowest free address.
  EXPECT_EQ(SimulatedAddress(0), 1);
  EXPECT_EQ(SimulatedAddress(1), 2);
  EXPECT_EQ(RecordedAddress(0), 1);
  EXPECT_EQ(RecordedAddress(1), 2);
  EXPECT_EQ(SerialAt(1), "A1000");
  EXPECT_EQ(SerialAt(2), "A1064");
  EXPECT_EQ(CountOf(notes_, 7), 1);
  EXPECT_NE(std::find(notes_.begin(), notes_.end(), Note{7, 32}), notes_.end());
  EXPECT_EQ(CountOf(notes_, 3), 2);
}

TEST_F(ChainTest, SerialNumberSetUpOnDominantBusFailsForInseparableFirmware) {
  Open(ClashAt41("450", "462"), 30);
  LONG result = 0;
  ASSERT_EQ(host_->AddressServos(0, &result), S_OK) << ErrorDescription();
  EXPECT_EQ(result, 64);  // a failed pass leaves nothing behind
  EXPECT_EQ(MotorCount(), 0);
  EXPECT_EQ(CountOf(notes_, 7), 0);  // no further pass was tried
  EXPECT_EQ(CountOf(notes_, 3), 1);
  // The pass stopped at the shared address, 41, and said so.
  ASSERT_GE(notes_.size(), 2u);
  EXPECT_EQ(notes_.back(), (Note{3, 0}));
  EXPECT_EQ(notes_[notes_.size() - 2], (Note{2, 40}));
}

}  // namespace
