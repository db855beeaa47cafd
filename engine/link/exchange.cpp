// Commands: address byte, CR, pieces of 8 with the motors' echo checked.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "engine/core/errors.h"
#include "engine/core/log.h"
#include "engine/link/host_link.h"

namespace velkor::engine {

namespace {

constexpr std::size_t kPiece = 8;
constexpr char kCarriageReturn = '\r';

// Write retries count across every host link of the process, one counter
// for the chunked writer and one for the raw writer.
std::atomic<std::int32_t> chunkedRetries{0};
std::atomic<std::int32_t> rawRetries{0};

void SleepMilliseconds(long long milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace

PreparedCommand PrepareCommand(std::string_view text, bool scanAddress) {
  text = text.substr(0, std::min(text.size(), kMaxCommandLength));
  text = text.substr(0, std::min(text.find_first_of("\r\n"), text.size()));
  PreparedCommand prepared;
  if (scanAddress) {
    std::size_t digits = 0;
    std::uint32_t address = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
      address = address * 10 + static_cast<std::uint32_t>(text[digits++] - '0');
    if (digits > 0) {
      prepared.address = static_cast<std::int32_t>(address);
      text.remove_prefix(digits);
    }
  }
  prepared.text = std::string(text);
  return prepared;
}

// With select, a given address becomes the current one, and the current
// address is sent again when another motor was addressed since.
std::int32_t HostLink::AddressToUse(std::int32_t address, bool select) {
  if (!select) return address;
  if (address != kKeepAddress) currentAddress_ = address;
  if (addressDirty_) {
    addressDirty_ = false;
    return currentAddress_;
  }
  return address;
}

void HostLink::SendCommand(std::string_view text, std::int32_t address, bool select) {
  PreparedCommand prepared = PrepareCommand(text, true);
  Exchange(AddressToUse(prepared.address.value_or(address), select), prepared.text, true);
}

std::string HostLink::SendCommandGetResponse(std::string_view text, std::int32_t address, bool select) {
  PreparedCommand prepared = PrepareCommand(text, address != kRawText);
  if (address == kRawText) address = kKeepAddress;
  return Exchange(AddressToUse(prepared.address.value_or(address), select), prepared.text, true, kAnswerSize, true);
}

std::string HostLink::Exchange(std::int32_t address, std::string_view data, bool asCommand,
                               std::optional<std::size_t> answerSize, bool lineMode) {
  if (IsNetwork()) return NetExchange(address, data, asCommand, answerSize, lineMode);
  if (IsUsb()) return UsbExchange(address, data, asCommand, answerSize, lineMode);
  RequireOpen();
  std::string bytes;
  bytes.reserve(data.size() + 2);
  if (address != kKeepAddress) {
    addressDirty_ = address != currentAddress_;
    bytes += static_cast<char>(static_cast<std::uint8_t>(128 + address));
  }
  bytes += data;
  if (asCommand) bytes += kCarriageReturn;
  WriteChunked(bytes);
  if (!answerSize) return {};
  return lineMode ? ReadLine(*answerSize, settings.timeout) : ReadBytes(*answerSize, settings.timeout);
}

void HostLink::WriteChunked(std::string_view bytes) {
  if (IsNetwork()) return NetWrite(bytes);
  if (IsUsb()) return UsbWrite(bytes);
  RequireOpen();
  while (!bytes.empty()) {
    std::string_view piece = bytes.substr(0, kPiece);
    WriteOnce(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size(), true);
    if (settings.echo) {
      try {
        CheckEcho(piece);
      } catch (const CVNXException&) {
        // The motors may hold half a command: the next one starts with its
        // address byte, which throws that half away instead of running it
        // joined to the next.
        addressDirty_ = true;
        throw;
      }
    }
    bytes.remove_prefix(piece.size());
  }
}

void HostLink::WriteRaw(std::string_view bytes) {
  if (IsNetwork()) return NetWrite(bytes);
  if (IsUsb()) return UsbWrite(bytes);
  RequireOpen();
  WriteOnce(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), false);
}

void HostLink::WriteOnce(const std::uint8_t* bytes, std::size_t count, bool chunked) {
  std::atomic<std::int32_t>& retries = chunked ? chunkedRetries : rawRetries;
  std::size_t written = 0;
  while (written < count) {
    auto result = port_.Write(std::span(bytes + written, count - written));
    if (!result.ok()) {
      const std::int32_t attempt = ++retries;
      if (attempt > settings.txMaxRetry) {
        retries = 0;
        throw CVNXException(ErrorCode::WriteError, static_cast<std::uint32_t>(result.error));
      }
      char line[80];
      std::snprintf(line, sizeof line, "WriteFile Error, n=%zu/%zu, Try#:%d", written, count, attempt);
      log::Write(log::kComm, line);
      if (!ApplyLineSettings()) {
        retries = 0;
        throw CVNXException(ErrorCode::WriteError, static_cast<std::uint32_t>(result.error));
      }
      continue;
    }
    if (result.value < count - written) {
      retries = 0;
      throw CVNXException(ErrorCode::WriteError, 0);  // the port took fewer bytes than written
    }
    written += result.value;
  }
  if (!settings.echo) {
    // Without echo nothing tells when the bytes are out: wait twice their line time.
    const long long bitsPerCharacter = 1 + settings.dataBits + (settings.parity != 0 ? 1 : 0) + settings.stopBits;
    if (chunked) {
      const long long rate = settings.baudRate > 0 ? settings.baudRate : 1;
      SleepMilliseconds((bitsPerCharacter * static_cast<long long>(written) * 2000 + rate - 1) / rate);
    } else {
      SleepMilliseconds(static_cast<long long>(CharDelay()) * static_cast<long long>(written));
    }
  }
  retries = 0;
}

void HostLink::CheckEcho(std::string_view sent) {
  std::string echo;
  try {
    echo = ReadBytes(sent.size(), -1);
  } catch (const CVNXException& exception) {
    if (exception.Code() == static_cast<std::uint32_t>(ErrorCode::NoResponse)) throw CVNXException(ErrorCode::NoEcho);
    throw;
  }
  ThrowLineError();
  if (echo.size() < sent.size()) throw CVNXException(ErrorCode::NoEcho);
  if (echo != sent) throw CVNXException(ErrorCode::InvalidEcho);
}

}  // namespace velkor::engine
