// Opening the serial side of the link, its line settings and time-outs.

#include "engine/link/host_link.h"

#include <chrono>
#include <thread>

#include "engine/core/errors.h"
#include "velkor/window.h"

namespace velkor::engine {

namespace {
// The serial driver's queues are asked for this size, as the motors' own
// buffers are small anyway.
constexpr std::uint32_t kQueueSize = 500;
constexpr auto kRateChangeSettle = std::chrono::milliseconds(20);

// A rate of 0 would reach a division; it is refused instead.
void RequireRate(std::int32_t baud) {
  if (baud <= 0) throw CVNXException(ErrorCode::InvalidData);
}
}  // namespace

void HostLink::RequireOpen() const {
  if (!IsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
}

void HostLink::RequireOpenSerial() const {
  if (IsSerial() && !IsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
}

bool HostLink::IsOpen() const {
  if (IsNetwork()) return !OpenConnections().empty();
  if (IsUsb()) return !OpenUsbPorts().empty();
  return port_.IsOpen();
}

std::int32_t HostLink::PortHandle() const { return port_.IsOpen() ? port_.NativeHandle() : -1; }

void HostLink::Open() {
  if (IsOpen()) Close();
  if (IsNetwork()) return OpenNetwork();
  if (IsUsb()) return OpenUsb();
  // A name that does not begin with a backslash gets the device prefix, as
  // the platform's serial API wants it; the serial layer takes it off again.
  std::string device = settings.portName;
  if (device.empty() || device.front() != '\\') device = "\\\\.\\" + device;
  auto opened = serial::SerialPort::Open(device);
  if (!opened.ok()) throw CVNXException(ErrorCode::CannotOpenPort);
  port_ = std::move(opened.value);
  if (!ApplyLineSettings() || !port_.SetQueueSizes(kQueueSize, kQueueSize).ok()) {
    Close();
    throw CVNXException(ErrorCode::CannotOpenPort);
  }
  SetPortTimeouts(settings.timeout);
  ClearBuffer();
}

void HostLink::Close() {
  if (IsNetwork()) CloseNetwork();
  else if (IsUsb()) CloseUsb();
  else port_.Close();
  lineBuffer_.clear();
}

void HostLink::Reopen(std::int32_t baud, std::int32_t parity) {
  if (baud > 0) settings.baudRate = baud;
  if (parity >= 0) settings.parity = static_cast<std::uint8_t>(parity);
  if (!IsSerial() || !port_.IsOpen()) return Open();
  // The port stays held while its settings change: closed between two
  // rates, it could be taken by another program in the middle of a scan.
  // What was written last gets the time a close and an open would have
  // given it to go out (and be read) at the rate it was sent at.
  std::this_thread::sleep_for(kRateChangeSettle);
  if (!ApplyLineSettings()) throw CVNXException(ErrorCode::CannotOpenPort);
  SetPortTimeouts(settings.timeout);
  ClearBuffer();
}

bool HostLink::ApplyLineSettings() {
  if (settings.baudRate <= 0 || settings.parity > 4) return false;
  serial::LineSettings line;
  line.baudRate = static_cast<std::uint32_t>(settings.baudRate);
  line.dataBits = settings.dataBits;
  line.parity = static_cast<serial::Parity>(settings.parity);
  line.stopBits = settings.stopBits;
  line.parityCheck = true;
  line.rtsCtsFlow = false;
  line.xonXoffFlow = false;
  line.dtrOn = true;
  line.rtsOn = true;
  return port_.SetLineSettings(line).ok();
}

void HostLink::SetPortTimeouts(std::int32_t timeout) {
  if (IsNetwork() || IsUsb()) return;  // every read there takes its time-out as an argument
  serial::Timeouts timeouts;
  if (timeout == 0) {
    timeouts.readInterval = serial::kNoWait;
  } else if (timeout == -1) {
    if (settings.echoTimeoutMul == -1) {
      RequireRate(settings.baudRate);
      // One 12-bit character time for every motor in the chain plus the host.
      timeouts.readMultiplier = static_cast<std::uint32_t>((settings.maxMotors + 1) * 12000 / settings.baudRate);
    } else {
      timeouts.readMultiplier = static_cast<std::uint32_t>(settings.echoTimeoutMul);
    }
    timeouts.readConstant = static_cast<std::uint32_t>(settings.echoTimeoutConst);
  } else {
    timeouts.readConstant = static_cast<std::uint32_t>(timeout);
  }
  timeouts.writeMultiplier = static_cast<std::uint32_t>(settings.txTimeoutMul == -1 ? 1 : settings.txTimeoutMul);
  timeouts.writeConstant =
      static_cast<std::uint32_t>(settings.txTimeoutConst == -1 ? 2 * timeouts.writeMultiplier : settings.txTimeoutConst);
  if (!port_.SetTimeouts(timeouts).ok()) throw CVNXException(ErrorCode::CannotSetTimeout);
}

std::intptr_t HostLink::Notify(std::uint32_t code, std::intptr_t value) const {
  if (settings.notificationWindow == 0) return 1;
  const std::intptr_t reply = VnxSendMessage(settings.notificationWindow, settings.notificationMessage, code, value);
  return uncancellable_ > 0 ? 1 : reply;
}

}  // namespace velkor::engine
