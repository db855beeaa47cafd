// Reading answers, and the state of the receive side.

#include <vector>

#include "engine/core/errors.h"
#include "engine/link/host_link.h"

namespace velkor::engine {

namespace {
constexpr char kCarriageReturn = '\r';

LineErrorFlags FlagsOf(const serial::LineErrors& errors) {
  LineErrorFlags flags;
  flags.framing = errors.framing;
  flags.parity = errors.parity;
  flags.overrun = errors.overrun;
  flags.breakCondition = errors.breakDetected;
  flags.receiveOverflow = errors.receiveOverflow;
  flags.ioError = errors.ioError;
  flags.outputFull = errors.outputFull;
  return flags;
}
}  // namespace

void HostLink::ThrowLineError() {
  auto errors = port_.TakeLineErrors();
  if (!errors.ok()) throw CVNXException(ErrorCode::IoError);
  if (auto code = LineErrorCode(FlagsOf(errors.value))) throw CVNXException(*code);
}

std::string HostLink::ReadBytes(std::size_t max, std::int32_t timeout) {
  if (IsNetwork()) return NetReadBytes(max, timeout);
  if (IsUsb()) return UsbReadBytes(max, timeout);
  RequireOpen();
  std::vector<std::uint8_t> buffer;
  if (timeout == 0) {
    ThrowLineError();
    auto waiting = port_.BytesWaiting();
    if (!waiting.ok()) throw CVNXException(ErrorCode::ReadError);
    if (waiting.value == 0 || max == 0) return {};
    SetPortTimeouts(0);
    buffer.resize(std::min(waiting.value, max));
  } else {
    SetPortTimeouts(timeout);
    buffer.resize(max);
  }
  auto read = port_.Read(buffer);
  if (!read.ok()) throw CVNXException(ErrorCode::ReadError);
  ThrowLineError();
  if (timeout != 0 && read.value == 0 && max > 0) throw CVNXException(ErrorCode::NoResponse);
  return std::string(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(read.value));
}

std::string HostLink::ReadLine(std::size_t max, std::int32_t timeout) {
  if (IsNetwork()) return NetReadLine(max, timeout);
  if (IsUsb()) return UsbReadLine(max, timeout);
  std::string line;
  while (line.size() + 1 < max) {
    std::string byte = ReadBytes(1, timeout);
    if (byte[0] == kCarriageReturn) break;
    line += byte[0];
  }
  return line;
}

bool HostLink::ReadLineNonBlocking(std::string& line) {
  lineBuffer_ += ReadBytes(kAnswerSize - lineBuffer_.size(), 0);
  const std::size_t end = lineBuffer_.find(kCarriageReturn);
  if (end != std::string::npos) {
    line = lineBuffer_.substr(0, end);
    // What came after the line stays for the next call rather than being lost.
    lineBuffer_.erase(0, end + 1);
    return true;
  }
  if (lineBuffer_.size() >= kAnswerSize) lineBuffer_.clear();
  return false;
}

void HostLink::ClearBuffer() {
  if (IsNetwork()) return NetClearBuffer();
  if (IsUsb()) return UsbClearBuffer();
  RequireOpen();
  port_.Purge(serial::kPurgeReceive);
  port_.Purge(serial::kPurgeSend);
  ThrowLineError();
}

std::int32_t HostLink::BytesAvailable() {
  if (IsNetwork()) return NetBytesAvailable();
  if (IsUsb()) return UsbBytesAvailable();
  RequireOpen();
  ThrowLineError();
  auto waiting = port_.BytesWaiting();
  if (!waiting.ok()) throw CVNXException(ErrorCode::ReadError);
  return static_cast<std::int32_t>(waiting.value);
}

}  // namespace velkor::engine
