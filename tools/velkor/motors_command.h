#pragma once
// velkor motors: the setup window's scan of the serial ports, one line per
// motor found.

#include <cstdio>
#include <span>
#include <string_view>

namespace velkor::client {

// Probes every serial port of this machine, or the COM names in
// $VELKOR_SCAN_PORTS ("COM3,COM7"). With --why, then says for each port on
// which no motor answered why not and what to do. Exit status: 0 motors found, 1 the
// engine cannot be loaded, 2 no motor found or bad usage.
int Motors(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);

}  // namespace velkor::client
