#include "platform/serial/termios_settings.h"

#include <array>
#include <cerrno>
#include <utility>

namespace velkor::serial::detail {
namespace {

constexpr std::array<std::pair<std::uint32_t, speed_t>, 16> kRates{{
    {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400},
    {460800, B460800}, {500000, B500000}, {576000, B576000}, {921600, B921600},
}};

}  // namespace

std::optional<speed_t> SpeedOf(std::uint32_t baudRate) {
  for (const auto& [rate, speed] : kRates)
    if (rate == baudRate) return speed;
  return std::nullopt;
}

std::uint32_t RateOf(speed_t speed) {
  for (const auto& [rate, constant] : kRates)
    if (constant == speed) return rate;
  return 0;
}

int CheckLineSettings(const LineSettings& s) {
  if (!SpeedOf(s.baudRate)) return EINVAL;
  if (s.dataBits < 5 || s.dataBits > 8) return EINVAL;
  if (static_cast<unsigned>(s.parity) > static_cast<unsigned>(Parity::Space)) return EINVAL;
  if (s.stopBits > kTwoStopBits) return EINVAL;
  return 0;
}

void MakeRaw(termios& a) {
  a.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IXON | IXOFF |
                                      IXANY | IMAXBEL);
  a.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  a.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  // The motors' lines carry no modem control; without CLOCAL a missing
  // carrier would block the open and hang up the port.
  a.c_cflag |= CLOCAL | CREAD;
  a.c_cc[VMIN] = 0;
  a.c_cc[VTIME] = 0;
}

void EncodeLineSettings(const LineSettings& s, termios& a) {
  const speed_t speed = *SpeedOf(s.baudRate);
  cfsetispeed(&a, speed);
  cfsetospeed(&a, speed);

  a.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  switch (s.dataBits) {
    case 5: a.c_cflag |= CS5; break;
    case 6: a.c_cflag |= CS6; break;
    case 7: a.c_cflag |= CS7; break;
    default: a.c_cflag |= CS8; break;
  }
  switch (s.parity) {
    case Parity::None: break;
    case Parity::Odd: a.c_cflag |= PARENB | PARODD; break;
    case Parity::Even: a.c_cflag |= PARENB; break;
    // With CMSPAR the parity bit is constant: PARODD makes it 1 (mark).
    case Parity::Mark: a.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case Parity::Space: a.c_cflag |= PARENB | CMSPAR; break;
  }
  if (s.stopBits != kOneStopBit) a.c_cflag |= CSTOPB;
  if (s.rtsCtsFlow) a.c_cflag |= CRTSCTS;

  a.c_iflag &= ~static_cast<tcflag_t>(INPCK | IGNPAR | IXON | IXOFF);
  if (s.parityCheck) a.c_iflag |= INPCK;
  if (s.xonXoffFlow) a.c_iflag |= IXON | IXOFF;
}

LineSettings DecodeLineSettings(const termios& a, const LineSettings& base) {
  LineSettings s = base;
  s.baudRate = RateOf(cfgetospeed(&a));
  switch (a.c_cflag & CSIZE) {
    case CS5: s.dataBits = 5; break;
    case CS6: s.dataBits = 6; break;
    case CS7: s.dataBits = 7; break;
    default: s.dataBits = 8; break;
  }
  if (!(a.c_cflag & PARENB)) {
    s.parity = Parity::None;
  } else if (a.c_cflag & CMSPAR) {
    s.parity = (a.c_cflag & PARODD) ? Parity::Mark : Parity::Space;
  } else {
    s.parity = (a.c_cflag & PARODD) ? Parity::Odd : Parity::Even;
  }
  s.stopBits = (a.c_cflag & CSTOPB) ? kTwoStopBits : kOneStopBit;
  s.parityCheck = (a.c_iflag & INPCK) != 0;
  s.rtsCtsFlow = (a.c_cflag & CRTSCTS) != 0;
  s.xonXoffFlow = (a.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF);
  return s;
}

}  // namespace velkor::serial::detail
