#pragma once
// The USB serial-adapter library, by the roles the engine calls on: number of
// devices, device strings, open by index, read, write, time-outs, rate, line
// and flow control, flush and receive-queue status.
//
// Devices are serial devices behind the adapters. The list comes from the
// file named by $VELKOR_USB_DEVICES when that is set (the simulator writes
// it), else from the USB serial adapters the kernel shows under /sys. The
// list is read again on every call, so indexes follow the current list.
//
// Nothing here throws or prints; every call answers with a Status.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "platform/serial/serial_port.h"

namespace velkor::usbxp {

enum class Status : std::uint8_t {
  Success = 0,
  InvalidHandle = 1,     // the device is not open
  ReadError = 2,
  NothingToRead = 3,     // the read time-out passed without a byte
  WriteError = 4,
  InvalidParameter = 5,  // a rate, line-control word or time-out the device refuses
  DeviceNotFound = 6,    // no device at that index
  OpenFailed = 7,        // the device is listed but cannot be opened (busy, gone)
  DeviceIoFailed = 8,    // the device answered a control request with an error
};

template <class T>
struct Result {
  T value{};
  Status status = Status::Success;
  bool ok() const { return status == Status::Success; }
};

enum class ProductString : std::uint8_t { SerialNumber = 0, Description = 1 };

// Line-control word: bits 0-3 stop bits (0 one, 1 one and a half, 2 two),
// bits 4-7 parity (0 none, 1 odd, 2 even, 3 mark, 4 space), bits 8-15 data bits.
inline constexpr std::uint16_t kEightDataBitsNoParityOneStop = 0x0800;

struct FlowControl {
  bool rtsCts = false;
  bool xonXoff = false;
};

// Receive-queue state as the library reports it beside the byte count.
enum class QueueState : std::uint8_t { Empty = 0, Overrun = 1, Ready = 2 };
struct QueueStatus {
  std::size_t bytes = 0;
  QueueState state = QueueState::Empty;
};

// Read and write time-outs in ms, shared by every open device. A read waits
// until the bytes asked for are there or the read time-out passes; 0 takes
// what is waiting. kNoLimit (and a write time-out of 0) never gives up.
inline constexpr std::uint32_t kNoLimit = 0xFFFFFFFFu;
Status SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs);
struct TimeoutPair {
  std::uint32_t readMs = 0;
  std::uint32_t writeMs = 0;
};
TimeoutPair GetTimeouts();

Result<std::uint32_t> NumberOfDevices();
Result<std::string> DeviceString(std::uint32_t index, ProductString which);

class Device {
 public:
  Device() = default;
  Device(Device&&) noexcept = default;
  Device& operator=(Device&&) noexcept = default;
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // Opens the device at `index` of the current list, exclusively.
  static Result<Device> Open(std::uint32_t index);
  bool IsOpen() const { return port_.IsOpen(); }
  void Close() { port_.Close(); }

  Result<std::size_t> Read(std::span<std::uint8_t> buffer);
  // The count placed; fewer than asked means the write time-out passed.
  Result<std::size_t> Write(std::span<const std::uint8_t> bytes);
  Status SetBaudRate(std::uint32_t rate);
  Status SetLineControl(std::uint16_t word);
  Status SetFlowControl(const FlowControl& flow);
  Status Flush(bool transmit, bool receive);
  Result<QueueStatus> CheckReceiveQueue();

 private:
  explicit Device(serial::SerialPort port) : port_(std::move(port)) {}
  Status Reconfigure(const serial::LineSettings& settings);

  serial::SerialPort port_;
};

}  // namespace velkor::usbxp
