#pragma once
// The connection of one USB motor: one adapter device of the USB library,
// at 38400 baud, 8 data bits, no parity, one stop bit, no flow control.
// Failures are CVNXException: 17 read, 18 write, 3 time-outs, 5 nothing
// received, 9 receive overrun, 46 receive-queue status unreadable.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "platform/usbxp/usbxp.h"

namespace velkor::engine {

inline constexpr std::uint32_t kUsbMotorRate = 38400;
inline constexpr std::string_view kUsbMotorDescription = "Varnex(TM) USB Interface";

class UsbPort {
 public:
  UsbPort() = default;
  UsbPort(std::string serialNumber, std::int32_t deviceIndex)
      : serialNumber_(std::move(serialNumber)), deviceIndex_(deviceIndex) {}

  // Opens the device at its index with the motor line settings; false when
  // there is no index, the device cannot be opened or refuses a setting.
  bool Open();
  void Close() { device_.Close(); }
  bool IsOpen() const { return device_.IsOpen(); }

  // Brings every motor behind the adapter to 38400 baud from whatever rate
  // it listens at, and turns its echo off.
  void SyncRate();
  // Tells the motors the new rate, then follows with the adapter.
  void ChangeRate(std::uint32_t rate);

  void Write(std::string_view bytes);
  // Up to max bytes within the time-out.
  std::string ReadBytes(std::size_t max, std::int32_t timeoutMs);
  // Up to CR (not kept), at most max - 1 characters as a serial line read gives.
  std::string ReadLine(std::size_t max, std::int32_t timeoutMs);
  void Flush();
  std::size_t Available();
  // True once after a read timed out: the answer it waited for may still
  // come, and must not be taken for the next one's.
  bool TakeAnswerOverdue() { return std::exchange(answerOverdue_, false); }

  const std::string& SerialNumber() const { return serialNumber_; }
  std::int32_t DeviceIndex() const { return deviceIndex_; }

 private:
  void PrepareRead(std::int32_t timeoutMs);
  [[noreturn]] void TimedOut();
  void SendToAll(std::string_view command);  // 0x80, the command, CR

  std::string serialNumber_;
  std::int32_t deviceIndex_ = -1;  // -1: none
  usbxp::Device device_;
  bool answerOverdue_ = false;
};

}  // namespace velkor::engine
