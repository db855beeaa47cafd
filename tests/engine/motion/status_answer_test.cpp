// The host-mode packets and the decoding of the motors' status answers.

#include <gtest/gtest.h>

#include "engine/core/errors.h"
#include "engine/motion/streaming.h"

namespace motion = velkor::engine::motion;

TEST(HostModePackets, CarryTheirValueMostSignificantByteFirst) {
  EXPECT_EQ(motion::PositionPacket(10), std::string("\xFA\x00\x00\x00\x0A", 5));
  EXPECT_EQ(motion::PositionPacket(-2), std::string("\xFA\xFF\xFF\xFF\xFE", 5));
  EXPECT_EQ(motion::ClockPacket(0x345678), std::string("\xFB\x00\x34\x56\x78", 5));
  EXPECT_EQ(motion::ClockPacket(0x12345678), std::string("\xFB\x00\x34\x56\x78", 5));  // 24 bits of the clock
}

TEST(HostModeStatus, ClockAndStateReportsAreTold) {
  const auto clock = motion::DecodeStatusAnswer(std::string("\xF9\x8A\x01\x02\x03", 5));
  EXPECT_TRUE(clock.valid);
  EXPECT_TRUE(clock.clockReport);
  EXPECT_EQ(clock.freeSlots, 10);
  EXPECT_EQ(clock.clock, 66051);

  const auto state = motion::DecodeStatusAnswer(std::string("\xF9\x20\x05\x00\x00", 5));
  EXPECT_FALSE(state.clockReport);
  EXPECT_EQ(state.errorBits, 0x20);
  EXPECT_EQ(state.freeSlots, 5);
  EXPECT_EQ(motion::DecodeStatusAnswer(std::string("\xF9\x40\xFE\x00\x00", 5)).freeSlots, -2);

  EXPECT_FALSE(motion::DecodeStatusAnswer(std::string("\xF8\x8A\x01\x02\x03", 5)).valid);
  EXPECT_FALSE(motion::DecodeStatusAnswer("\xF9\x8A").valid);
}

TEST(HostModeStatus, ErrorBitsNameTheFirstFault) {
  struct Case {
    std::uint8_t bits;
    std::uint32_t error;
  };
  const Case cases[] = {{0x00, 26}, {0x04, 21}, {0x0C, 21}, {0x08, 22}, {0x10, 23}, {0x20, 24}, {0x60, 24},
                        {0x40, 25}, {0x01, 26}, {0x02, 26},
                        {0x80, 0}};  // a bit of no known meaning names no fault
  for (const Case& c : cases) EXPECT_EQ(motion::ErrorOfStatusBits(c.bits), c.error) << int(c.bits);
}
