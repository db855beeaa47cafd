#include "platform/serial/termios_settings.h"

#include <gtest/gtest.h>

namespace velkor::serial::detail {
namespace {

TEST(SerialTermios, EveryFramingSurvivesTheRoundTrip) {
  for (const std::uint32_t rate : {300u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 921600u})
    for (std::uint8_t bits = 5; bits <= 8; ++bits)
      for (const Parity parity : {Parity::None, Parity::Odd, Parity::Even, Parity::Mark, Parity::Space})
        for (const std::uint8_t stop : {kOneStopBit, kTwoStopBits}) {
          termios attributes{};
          const LineSettings wanted{.baudRate = rate, .dataBits = bits, .parity = parity, .stopBits = stop};
          ASSERT_EQ(CheckLineSettings(wanted), 0);
          EncodeLineSettings(wanted, attributes);
          EXPECT_EQ(DecodeLineSettings(attributes, LineSettings{}), wanted)
              << rate << " " << int(bits) << " " << int(parity) << " " << int(stop);
        }
}

TEST(SerialTermios, ParityAndStopBitsOnTheLine) {
  constexpr tcflag_t kParityBits = PARENB | CMSPAR | PARODD;
  termios a{};
  EncodeLineSettings({.parity = Parity::Mark}, a);
  EXPECT_EQ(a.c_cflag & kParityBits, kParityBits);
  EncodeLineSettings({.parity = Parity::Space}, a);
  EXPECT_EQ(a.c_cflag & kParityBits, tcflag_t(PARENB | CMSPAR));
  // Back to plain parity: the sticky bit must not stay behind.
  EncodeLineSettings({.dataBits = 7, .parity = Parity::Even}, a);
  EXPECT_EQ(a.c_cflag & (kParityBits | CSIZE), tcflag_t(PARENB | CS7));
  // One and a half stop bits do not exist here and are sent as two.
  EncodeLineSettings({.stopBits = kOneAndHalfStopBits}, a);
  EXPECT_TRUE(a.c_cflag & CSTOPB);
  EXPECT_EQ(DecodeLineSettings(a, {}).stopBits, kTwoStopBits);
}

TEST(SerialTermios, HandshakeSwitches) {
  termios a{};
  a.c_cflag = CRTSCTS;
  a.c_iflag = IXON | IXOFF;
  EncodeLineSettings({}, a);
  EXPECT_EQ(a.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(a.c_iflag & (IXON | IXOFF | INPCK), tcflag_t(INPCK));
  const LineSettings s{.parityCheck = false, .rtsCtsFlow = true, .xonXoffFlow = true};
  EncodeLineSettings(s, a);
  EXPECT_EQ(DecodeLineSettings(a, {}), s);
}

TEST(SerialTermios, RefusesWhatTheLineCannotDo) {
  for (const LineSettings refused : {LineSettings{.baudRate = 12345}, LineSettings{.baudRate = 0},
                                     LineSettings{.baudRate = 1843200}, LineSettings{.dataBits = 4},
                                     LineSettings{.dataBits = 9}, LineSettings{.parity = static_cast<Parity>(5)},
                                     LineSettings{.stopBits = 3}})
    EXPECT_EQ(CheckLineSettings(refused), EINVAL) << refused.baudRate << " " << int(refused.dataBits);
  EXPECT_EQ(RateOf(B0), 0u);
}

TEST(SerialTermios, RawModeIsEightBitClean) {
  termios a{};
  a.c_iflag = ICRNL | INLCR | IGNCR | ISTRIP | IXON | BRKINT | PARMRK;
  a.c_oflag = OPOST | ONLCR;
  a.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
  a.c_cc[VMIN] = 1;
  MakeRaw(a);
  EXPECT_EQ(a.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | BRKINT | PARMRK), 0u);
  EXPECT_EQ(a.c_oflag & OPOST, 0u);
  EXPECT_EQ(a.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(a.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
  EXPECT_EQ(a.c_cc[VMIN], 0);
}

}  // namespace
}  // namespace velkor::serial::detail
