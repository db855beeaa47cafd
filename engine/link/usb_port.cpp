// USB motors through the adapter library.

#include "engine/link/usb_port.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "engine/core/errors.h"

namespace velkor::engine {
namespace {

using namespace std::chrono_literals;

constexpr auto kCommandPause = 20ms;
constexpr std::uint32_t kWriteTimeoutMs = 1000;
// The rates a motor may have been left at, fastest first; 38400 is the goal.
constexpr std::array<std::uint32_t, 6> kMotorRates = {115200, 38400, 19200, 9600, 4800, 2400};

std::string BaudCommand(std::uint32_t rate) { return "BAUD" + std::to_string(rate); }

}  // namespace

bool UsbPort::Open() {
  if (deviceIndex_ < 0) return false;
  device_.Close();
  auto opened = usbxp::Device::Open(static_cast<std::uint32_t>(deviceIndex_));
  if (!opened.ok()) return false;
  usbxp::Device device = std::move(opened.value);
  const bool configured = device.Flush(true, true) == usbxp::Status::Success &&
                          device.SetBaudRate(kUsbMotorRate) == usbxp::Status::Success &&
                          device.SetLineControl(usbxp::kEightDataBitsNoParityOneStop) == usbxp::Status::Success &&
                          device.SetFlowControl({}) == usbxp::Status::Success;
  // A device left half set up would only garble the traffic later.
  if (!configured) return false;
  device_ = std::move(device);
  return true;
}

void UsbPort::SendToAll(std::string_view command) {
  std::string frame = "\x80";
  frame += command;
  frame += '\r';
  Write(frame);
}

void UsbPort::SyncRate() {
  for (const std::uint32_t rate : kMotorRates) {
    if (rate == kUsbMotorRate || device_.SetBaudRate(rate) != usbxp::Status::Success) continue;
    SendToAll("WAKE");
    std::this_thread::sleep_for(kCommandPause);
    SendToAll("WAKE");
    SendToAll("IFX");
    for (int pass = 0; pass < 2; ++pass) {
      std::this_thread::sleep_for(kCommandPause);
      SendToAll("WAKE");
    }
    std::this_thread::sleep_for(kCommandPause);
    SendToAll(BaudCommand(kUsbMotorRate));
    std::this_thread::sleep_for(kCommandPause);
  }
  if (device_.SetBaudRate(kUsbMotorRate) != usbxp::Status::Success) throw CVNXException(ErrorCode::NoUsbMotor);
  SendToAll("");
  SendToAll("ECHO_OFF");
}

void UsbPort::ChangeRate(std::uint32_t rate) {
  SendToAll(BaudCommand(rate));
  std::this_thread::sleep_for(kCommandPause);
  // The motors have moved already; an adapter left behind would make every
  // later exchange fail without a trace.
  if (device_.SetBaudRate(rate) != usbxp::Status::Success) throw CVNXException(ErrorCode::InvalidData);
}

void UsbPort::Write(std::string_view bytes) {
  if (!device_.IsOpen()) throw CVNXException(ErrorCode::WriteError);
  const auto written = device_.Write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  if (!written.ok() || written.value != bytes.size()) throw CVNXException(ErrorCode::WriteError);
}

void UsbPort::PrepareRead(std::int32_t timeoutMs) {
  if (!device_.IsOpen()) throw CVNXException(ErrorCode::ReadError);
  const auto readMs = static_cast<std::uint32_t>(std::max(timeoutMs, 0));
  if (usbxp::SetTimeouts(readMs, kWriteTimeoutMs) != usbxp::Status::Success)
    throw CVNXException(ErrorCode::CannotSetTimeout);
}

std::string UsbPort::ReadBytes(std::size_t max, std::int32_t timeoutMs) {
  PrepareRead(timeoutMs);
  std::string bytes(max, '\0');
  const auto read = device_.Read(std::span(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()));
  if (read.status == usbxp::Status::NothingToRead) TimedOut();
  if (!read.ok()) throw CVNXException(ErrorCode::ReadError);
  bytes.resize(read.value);
  return bytes;
}

std::string UsbPort::ReadLine(std::size_t max, std::int32_t timeoutMs) {
  PrepareRead(timeoutMs);
  std::string line;
  while (line.size() + 1 < max) {
    std::uint8_t byte = 0;
    const auto read = device_.Read(std::span(&byte, 1));
    if (read.status == usbxp::Status::NothingToRead) TimedOut();
    if (!read.ok()) throw CVNXException(ErrorCode::ReadError);
    if (byte == '\r') break;
    line.push_back(static_cast<char>(byte));
  }
  return line;
}

void UsbPort::TimedOut() {
  answerOverdue_ = true;
  throw CVNXException(ErrorCode::NoResponse);
}

void UsbPort::Flush() { (void)device_.Flush(true, true); }

std::size_t UsbPort::Available() {
  const auto queue = device_.CheckReceiveQueue();
  if (!queue.ok()) throw CVNXException(ErrorCode::NoUsbMotor);
  if (queue.value.state == usbxp::QueueState::Overrun) throw CVNXException(ErrorCode::Overrun);
  return queue.value.bytes;
}

}  // namespace velkor::engine
