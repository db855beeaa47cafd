#include "platform/serial/termios_settings.h"

#include <gtest/gtest.h>

namespace velkor::serial::detail {
namespace {

LineSettings With(std::uint32_t rate, std::uint8_t dataBits, Parity parity, std::uint8_t stopBits) {
  LineSettings s;
  s.baudRate = rate;
  s.dataBits = dataBits;
  s.parity = parity;
  s.stopBits = stopBits;
  return s;
}

TEST(SerialTermios, EveryFramingSurvivesTheRoundTrip) {
  for (const std::uint32_t rate : {300u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 921600u})
    for (std::uint8_t bits = 5; bits <= 8; ++bits)
      for (const Parity parity : {Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space})
        for (const std::uint8_t stop : {kOneStopBit, kTwoStopBits}) {
          termios attributes{};
          const LineSettings wanted = With(rate, bits, parity, stop);
          ASSERT_EQ(CheckLineSettings(wanted), 0);
          EncodeLineSettings(wanted, attributes);
          EXPECT_EQ(DecodeLineSettings(attributes, LineSettings{}), wanted)
              << rate << " " << int(bits) << " " << int(parity) << " " << int(stop);
        }
}

TEST(SerialTermios, ParityBits) {
  termios mark{};
  EncodeLineSettings(With(9600, 8, Parity::Mark, kOneStopBit), mark);
  EXPECT_EQ(mark.c_cflag & (PARENB | CMSPAR | PARODD), tcflag_t(PARENB | CMSPAR | PARODD));
  termios space{};
  EncodeLineSettings(With(9600, 8, Parity::Space, kOneStopBit), space);
  EXPECT_EQ(space.c_cflag & (PARENB | CMSPAR | PARODD), tcflag_t(PARENB | CMSPAR));
  // Switching back to plain parity must not leave the sticky bit behind.
  EncodeLineSettings(With(9600, 7, Parity::Even, kOneStopBit), mark);
  EXPECT_EQ(mark.c_cflag & (PARENB | CMSPAR | PARODD | CSIZE), tcflag_t(PARENB | CS7));
}

TEST(SerialTermios, OneAndAHalfStopBitsAreSentAsTwo) {
  termios attributes{};
  EncodeLineSettings(With(9600, 8, Parity::None, kOneAndHalfStopBits), attributes);
  EXPECT_TRUE(attributes.c_cflag & CSTOPB);
  EXPECT_EQ(DecodeLineSettings(attributes, {}).stopBits, kTwoStopBits);
}

TEST(SerialTermios, HandshakeSwitches) {
  LineSettings s = With(9600, 8, Parity::None, kOneStopBit);
  termios attributes{};
  attributes.c_cflag = CRTSCTS;
  attributes.c_iflag = IXON | IXOFF;
  EncodeLineSettings(s, attributes);
  EXPECT_FALSE(attributes.c_cflag & CRTSCTS);
  EXPECT_FALSE(attributes.c_iflag & (IXON | IXOFF));
  EXPECT_TRUE(attributes.c_iflag & INPCK);
  s.rtsCtsFlow = s.xonXoffFlow = true;
  s.parityCheck = false;
  EncodeLineSettings(s, attributes);
  EXPECT_EQ(DecodeLineSettings(attributes, {}), s);
}

TEST(SerialTermios, RefusesWhatTheLineCannotDo) {
  EXPECT_EQ(CheckLineSettings(With(12345, 8, Parity::None, 0)), EINVAL);
  EXPECT_EQ(CheckLineSettings(With(0, 8, Parity::None, 0)), EINVAL);
  EXPECT_EQ(CheckLineSettings(With(1843200, 8, Parity::None, 0)), EINVAL);
  EXPECT_EQ(CheckLineSettings(With(9600, 4, Parity::None, 0)), EINVAL);
  EXPECT_EQ(CheckLineSettings(With(9600, 9, Parity::None, 0)), EINVAL);
  EXPECT_EQ(CheckLineSettings(With(9600, 8, static_cast<Parity>(5), 0)), EINVAL);
  EXPECT_EQ(CheckLineSettings(With(9600, 8, Parity::None, 3)), EINVAL);
  EXPECT_EQ(RateOf(B0), 0u);
}

TEST(SerialTermios, RawModeIsEightBitClean) {
  termios attributes{};
  attributes.c_iflag = ICRNL | INLCR | IGNCR | ISTRIP | IXON | BRKINT | PARMRK;
  attributes.c_oflag = OPOST | ONLCR;
  attributes.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
  attributes.c_cc[VMIN] = 1;
  MakeRaw(attributes);
  EXPECT_EQ(attributes.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | BRKINT | PARMRK), 0u);
  EXPECT_EQ(attributes.c_oflag & OPOST, 0u);
  EXPECT_EQ(attributes.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_TRUE(attributes.c_cflag & CLOCAL);
  EXPECT_TRUE(attributes.c_cflag & CREAD);
  EXPECT_EQ(attributes.c_cc[VMIN], 0);
}

}  // namespace
}  // namespace velkor::serial::detail
