#pragma once
// The one link object of a host: line settings, time-outs and the
// notification target. Opening ports and exchanging commands come with the
// serial, network and USB sides of the link.

#include <cstdint>
#include <string>

namespace velkor::engine {

enum class LinkType : std::int32_t { RS232 = 1, RS485 = 2, Ethernet = 6, USB = 9 };

struct HostLink {
  std::string portName = "Com1";
  std::int32_t baudRate = 9600;
  std::int32_t chainBaudRate = 9600;
  std::uint8_t parity = 0;
  std::uint8_t dataBits = 8;
  std::uint8_t stopBits = 0;
  bool echo = true;
  std::int32_t currentAddress = 1;
  bool addressDirty = true;
  std::int32_t timeout = 400;
  std::int32_t maxMotors = 10;
  std::int32_t rs485Channel = 0;
  LinkType linkType = LinkType::RS232;

  std::int32_t notificationWindow = 0;  // 0: notifications off
  std::uint32_t notificationMessage = 0;

  std::int32_t txMaxRetry = 1;
  std::int32_t txTimeoutMul = -1;  // -1: computed from the line
  std::int32_t txTimeoutConst = -1;
  std::int32_t echoTimeoutMul = -1;
  std::int32_t echoTimeoutConst = 100;

  bool IsOpen() const { return false; }  // no side of the link opens yet
};

}  // namespace velkor::engine
