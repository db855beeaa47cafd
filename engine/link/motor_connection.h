#pragma once
// What a motor's own connection does alike on a network and on USB: the
// adapters carry bytes only, so commands go out in pieces with a pause after
// each, and nothing waits for an echo.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/core/errors.h"
#include "engine/core/log.h"
#include "engine/link/net_connection.h"
#include "engine/link/usb_port.h"

namespace velkor::engine::connection {

inline constexpr std::size_t kPiece = 8;
inline constexpr auto kPiecePause = std::chrono::milliseconds(5);

inline void Write(NetConnection& connection, std::string_view bytes) { connection.Send(bytes); }
inline void Write(UsbPort& port, std::string_view bytes) { port.Write(bytes); }
inline void Discard(NetConnection& connection) { connection.Purge(); }
inline void Discard(UsbPort& port) { port.Flush(); }

// Pieces of at most 8 bytes with a 5 ms pause after each, as the adapters'
// serial side needs.
template <class Connection>
void SendInPieces(Connection& connection, std::string_view bytes) {
  while (!bytes.empty()) {
    const std::string_view piece = bytes.substr(0, kPiece);
    Write(connection, piece);
    std::this_thread::sleep_for(kPiecePause);
    bytes.remove_prefix(piece.size());
  }
}

// Behind an adapter the motor is alone on its line: the address byte that
// reaches every motor selects it whatever its address.
inline std::string Frame(std::string_view data, bool asCommand) {
  std::string frame;
  frame.reserve(data.size() + 2);
  frame += static_cast<char>(0x80);
  frame += data;
  if (asCommand) frame += '\r';
  return frame;
}

// These links have no echo to tell an answer from a late one: what came in
// before a command is dropped, and logged, so that what is read next
// belongs to this command. After a time-out the late answer may still be on
// its way: the line is first let fall quiet for one answer time-out (a
// motor that never stops sending is waited for eight at the most).
template <class Connection>
void DiscardLateInput(Connection& connection, std::int32_t quietMs) {
  std::size_t late = 0;
  if (connection.TakeAnswerOverdue()) {
    const auto deadline = std::chrono::steady_clock::now() + 8 * std::chrono::milliseconds(std::max(quietMs, 1));
    while (std::chrono::steady_clock::now() < deadline) {
      try {
        late += connection.ReadBytes(256, quietMs).size();
      } catch (const CVNXException& failure) {
        if (failure.Code() != static_cast<std::uint32_t>(ErrorCode::NoResponse)) throw;
        break;
      }
    }
    connection.TakeAnswerOverdue();  // the quiet wait's own time-out
  }
  late += connection.Available();
  if (late == 0) return;
  Discard(connection);
  log::Write(log::kComm, "Discarded " + std::to_string(late) + " byte(s) that came before the command");
}

// To one motor's connection, with its answer when one is wanted; without a
// target, to every open connection, which cannot answer as one. A command
// first drops late input.
template <class Connection>
std::string Deliver(Connection* target, const std::vector<Connection*>& open, std::string_view frame, bool asCommand,
                    std::optional<std::size_t> answerSize, bool lineMode, std::int32_t timeout) {
  if (!target) {
    if (answerSize) throw CVNXException(ErrorCode::MoreThanOneMotor);
    for (Connection* each : open) {
      if (asCommand) DiscardLateInput(*each, timeout);
      SendInPieces(*each, frame);
    }
    return {};
  }
  if (asCommand) DiscardLateInput(*target, timeout);
  SendInPieces(*target, frame);
  if (!answerSize) return {};
  return lineMode ? target->ReadLine(*answerSize, timeout) : target->ReadBytes(*answerSize, timeout);
}

// What every open connection has, in list order, up to `max`; a connection
// with nothing contributes nothing.
template <class Connection>
std::string ReadFromEach(const std::vector<Connection*>& open, std::size_t max, std::int32_t timeout) {
  std::string bytes;
  for (Connection* each : open) {
    if (bytes.size() >= max) break;
    try {
      bytes += each->ReadBytes(max - bytes.size(), timeout);
    } catch (const CVNXException& failure) {
      if (failure.Code() != static_cast<std::uint32_t>(ErrorCode::NoResponse)) throw;
    }
  }
  return bytes;
}

template <class Connection>
std::int32_t AvailableIn(const std::vector<Connection*>& open) {
  std::size_t waiting = 0;
  for (Connection* each : open) waiting += each->Available();
  return static_cast<std::int32_t>(waiting);
}

}  // namespace velkor::engine::connection
