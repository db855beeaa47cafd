#pragma once
// Line settings to and from a termios record. Kept apart from the ioctl code
// so that the bit mapping can be checked without a device. Private to this
// library: the one place besides the .cpp files that sees <termios.h>.

#include <termios.h>

#include <cstdint>
#include <optional>

#include "platform/serial/serial_port.h"

namespace velkor::serial::detail {

// The speed constant of a standard rate from 300 to 921600, or none.
std::optional<speed_t> SpeedOf(std::uint32_t baudRate);
// The rate of a speed constant; 0 for one outside that range.
std::uint32_t RateOf(speed_t speed);

// Refuses what the line cannot do: EINVAL, else 0.
int CheckLineSettings(const LineSettings& settings);

// Raw mode: no echo, no canonical input, no signals, no CR/LF translation,
// 8-bit clean, no XON/XOFF; reads return at once (all waiting is done with poll).
void MakeRaw(termios& attributes);

// Writes rate, framing, parity checking and handshake into the record.
// The settings must have passed CheckLineSettings.
void EncodeLineSettings(const LineSettings& settings, termios& attributes);

// Everything the record says; the modem lines are left as in `base`.
LineSettings DecodeLineSettings(const termios& attributes, const LineSettings& base);

}  // namespace velkor::serial::detail
