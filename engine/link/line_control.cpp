// Selecting motors and moving them between echo settings and line rates.

#include <chrono>
#include <cstdio>
#include <thread>

#include "engine/core/errors.h"
#include "engine/link/host_link.h"

namespace velkor::engine {

namespace {
constexpr auto kSettleTime = std::chrono::milliseconds(100);
constexpr char kParityLetters[] = {'N', 'O', 'E', 'I', 'I'};
}  // namespace

void HostLink::SelectMotor(std::int32_t address) {
  currentAddress_ = address;
  SendCommand("", address, true);
  currentAddress_ = address;
}

void HostLink::SetEcho(bool on) {
  if (on) {
    if (settings.linkType == LinkType::RS485) throw CVNXException(ErrorCode::InvalidData);
    settings.echo = true;
    // While the motors switch, the echo of this very command may come back
    // short; try again, once per motor at most.
    for (std::int32_t failures = 0;; ++failures) {
      try {
        SendCommand("ECHO", 0, false);
        break;
      } catch (const CVNXException& exception) {
        if (exception.Code() != static_cast<std::uint32_t>(ErrorCode::NoEcho) || failures + 1 > motorCount) throw;
        std::this_thread::sleep_for(kSettleTime);
      }
    }
    std::this_thread::sleep_for(kSettleTime);
  } else {
    settings.echo = false;
    SendCommand(settings.rs485Channel == 1 ? "ECHO_OFF1" : "ECHO_OFF", 0, false);
    std::this_thread::sleep_for(kSettleTime);
    ClearBuffer();
  }
}

void HostLink::ChangeBaud(std::int32_t baud) {
  if (baud <= 0) throw CVNXException(ErrorCode::InvalidData);
  if (!IsOpen()) {
    settings.baudRate = settings.chainBaudRate = baud;
    return;
  }
  char command[64];
  const char parity = kParityLetters[settings.parity < 5 ? settings.parity : 0];
  if (settings.linkType == LinkType::RS485 || settings.rs485Channel == 1) {
    std::snprintf(command, sizeof command, "0OCHN(RS4,%d,%c,%d,%d,%d,C)", settings.rs485Channel == 1 ? 1 : 0, parity,
                  baud, settings.stopBits != 0 ? 2 : 1, settings.dataBits);
  } else {
    std::snprintf(command, sizeof command, "0BAUD%d", baud);
  }
  const std::int32_t remembered = currentAddress_;
  try {
    SendCommand(command, kKeepAddress, true);
  } catch (const CVNXException&) {
    // The motors switch while their echo is on the way; it cannot be checked.
  }
  Reopen(baud, settings.parity);
  try {
    SelectMotor(remembered);
  } catch (const CVNXException&) {
  }
  SendCommandGetResponse("RSP", kKeepAddress, true);  // no answer at the new rate: error 5
}

std::int32_t HostLink::CharDelay() const {
  if (settings.baudRate <= 0) throw CVNXException(ErrorCode::InvalidData);
  const std::int32_t bits = 1 + settings.dataBits + (settings.parity != 0 ? 1 : 0) + settings.stopBits;
  return (bits * 1500 + settings.baudRate - 1) / settings.baudRate;
}

}  // namespace velkor::engine
