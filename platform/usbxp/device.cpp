// Devices of the library over the serial layer.

#include <atomic>
#include <cerrno>
#include <optional>

#include "platform/usbxp/device_list.h"
#include "platform/usbxp/usbxp.h"

namespace velkor::usbxp {
namespace {

std::atomic<std::uint32_t> readTimeout{1000};
std::atomic<std::uint32_t> writeTimeout{1000};

serial::Timeouts SerialTimeouts() {
  serial::Timeouts timeouts;
  const std::uint32_t read = readTimeout.load();
  if (read == 0) timeouts.readInterval = serial::kNoWait;
  else if (read != kNoLimit) timeouts.readConstant = read;
  const std::uint32_t write = writeTimeout.load();
  if (write != kNoLimit) timeouts.writeConstant = write;
  return timeouts;
}

std::optional<serial::Parity> ParityOf(unsigned code) {
  switch (code) {
    case 0: return serial::Parity::None;
    case 1: return serial::Parity::Odd;
    case 2: return serial::Parity::Even;
    case 3: return serial::Parity::Mark;
    case 4: return serial::Parity::Space;
    default: return std::nullopt;
  }
}

}  // namespace

Status SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
  readTimeout = readMs;
  writeTimeout = writeMs;
  return Status::Success;
}

TimeoutPair GetTimeouts() { return {readTimeout.load(), writeTimeout.load()}; }

Result<std::uint32_t> NumberOfDevices() {
  return {static_cast<std::uint32_t>(CurrentDevices().size()), Status::Success};
}

Result<std::string> DeviceString(std::uint32_t index, ProductString which) {
  const auto devices = CurrentDevices();
  if (index >= devices.size()) return {{}, Status::DeviceNotFound};
  const DeviceEntry& device = devices[index];
  switch (which) {
    case ProductString::SerialNumber: return {device.serialNumber, Status::Success};
    case ProductString::Description: return {device.description, Status::Success};
  }
  return {{}, Status::InvalidParameter};
}

Result<Device> Device::Open(std::uint32_t index) {
  const auto devices = CurrentDevices();
  if (index >= devices.size()) return {{}, Status::DeviceNotFound};
  auto port = serial::SerialPort::Open(devices[index].path);
  if (!port.ok()) return {{}, Status::OpenFailed};
  return {Device(std::move(port.value)), Status::Success};
}

Result<std::size_t> Device::Read(std::span<std::uint8_t> buffer) {
  if (!IsOpen()) return {0, Status::InvalidHandle};
  if (!port_.SetTimeouts(SerialTimeouts()).ok()) return {0, Status::ReadError};
  const auto read = port_.Read(buffer);
  if (!read.ok()) return {0, Status::ReadError};
  if (read.value == 0 && !buffer.empty()) return {0, Status::NothingToRead};
  return {read.value, Status::Success};
}

Result<std::size_t> Device::Write(std::span<const std::uint8_t> bytes) {
  if (!IsOpen()) return {0, Status::InvalidHandle};
  if (!port_.SetTimeouts(SerialTimeouts()).ok()) return {0, Status::WriteError};
  const auto written = port_.Write(bytes);
  if (!written.ok()) return {0, Status::WriteError};
  return {written.value, Status::Success};
}

Status Device::Reconfigure(const serial::LineSettings& settings) {
  const auto applied = port_.SetLineSettings(settings);
  if (applied.ok()) return Status::Success;
  return applied.error == EINVAL ? Status::InvalidParameter : Status::DeviceIoFailed;
}

Status Device::SetBaudRate(std::uint32_t rate) {
  if (!IsOpen()) return Status::InvalidHandle;
  auto settings = port_.GetLineSettings();
  if (!settings.ok()) return Status::DeviceIoFailed;
  settings.value.baudRate = rate;
  return Reconfigure(settings.value);
}

Status Device::SetLineControl(std::uint16_t word) {
  if (!IsOpen()) return Status::InvalidHandle;
  const unsigned stopBits = word & 0x0Fu;
  const auto parity = ParityOf((word >> 4) & 0x0Fu);
  const unsigned dataBits = word >> 8;
  if (stopBits > serial::kTwoStopBits || !parity || dataBits < 5 || dataBits > 8) return Status::InvalidParameter;
  auto settings = port_.GetLineSettings();
  if (!settings.ok()) return Status::DeviceIoFailed;
  settings.value.stopBits = static_cast<std::uint8_t>(stopBits);
  settings.value.parity = *parity;
  settings.value.dataBits = static_cast<std::uint8_t>(dataBits);
  return Reconfigure(settings.value);
}

Status Device::SetFlowControl(const FlowControl& flow) {
  if (!IsOpen()) return Status::InvalidHandle;
  auto settings = port_.GetLineSettings();
  if (!settings.ok()) return Status::DeviceIoFailed;
  settings.value.rtsCtsFlow = flow.rtsCts;
  settings.value.xonXoffFlow = flow.xonXoff;
  return Reconfigure(settings.value);
}

Status Device::Flush(bool transmit, bool receive) {
  if (!IsOpen()) return Status::InvalidHandle;
  const unsigned flags = (transmit ? serial::kPurgeSend : 0u) | (receive ? serial::kPurgeReceive : 0u);
  return port_.Purge(flags).ok() ? Status::Success : Status::DeviceIoFailed;
}

Result<QueueStatus> Device::CheckReceiveQueue() {
  if (!IsOpen()) return {{}, Status::InvalidHandle};
  const auto errors = port_.TakeLineErrors();
  const auto waiting = port_.BytesWaiting();
  if (!errors.ok() || !waiting.ok()) return {{}, Status::DeviceIoFailed};
  QueueStatus queue;
  queue.bytes = waiting.value;
  if (errors.value.overrun || errors.value.receiveOverflow) queue.state = QueueState::Overrun;
  else if (queue.bytes > 0) queue.state = QueueState::Ready;
  return {queue, Status::Success};
}

}  // namespace velkor::usbxp
