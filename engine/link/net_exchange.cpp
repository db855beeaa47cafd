// The host link on a network: every motor has a TCP connection of its own,
// and a command goes to the connection of the motor it addresses. The
// adapters carry bytes only, so there is no echo to check and no line time
// to wait for.

#include <chrono>
#include <thread>

#include "engine/core/errors.h"
#include "engine/link/host_link.h"
#include "engine/link/net_connection.h"

namespace velkor::engine {

namespace {
constexpr std::size_t kPiece = 8;
constexpr auto kPiecePause = std::chrono::milliseconds(5);
constexpr std::int32_t kReconnectTimeout = 500;
// Behind an adapter the motor is alone on its line: the address byte that
// reaches every motor selects it whatever its address.
constexpr char kEveryMotor = static_cast<char>(0x80);
constexpr char kCarriageReturn = '\r';

bool IsReady(const NetConnection& connection) { return connection.State() == NetState::Ready; }
}  // namespace

void SendInPieces(NetConnection& connection, std::string_view bytes) {
  while (!bytes.empty()) {
    std::string_view piece = bytes.substr(0, kPiece);
    connection.Send(piece);
    std::this_thread::sleep_for(kPiecePause);
    bytes.remove_prefix(piece.size());
  }
}

std::vector<NetConnection*> HostLink::OpenConnections() const {
  std::vector<NetConnection*> open;
  if (!motors_) return open;
  for (NetConnection* connection : motors_->NetConnections())
    if (IsReady(*connection)) open.push_back(connection);
  return open;
}

void HostLink::OpenNetwork() {
  if (!motors_) return;
  const std::vector<NetConnection*> connections = motors_->NetConnections();
  if (connections.empty()) return;
  bool anyOpen = false;
  for (NetConnection* connection : connections) {
    if (connection->Connect(std::nullopt, settings.net.motorPort, kReconnectTimeout)) {
      anyOpen = true;
    } else {
      connection->Close();  // else its connector would go on trying behind our back
    }
  }
  if (!anyOpen) throw CVNXException(ErrorCode::NetworkError);
}

void HostLink::CloseNetwork() {
  if (!motors_) return;
  for (NetConnection* connection : motors_->NetConnections()) connection->Close();
}

NetConnection& HostLink::ConnectionOf(std::int32_t address) const {
  if (!motors_ || !motors_->HasMotor(address)) throw CVNXException(ErrorCode::InvalidData);
  NetConnection* connection = motors_->NetConnectionAt(address);
  if (!connection || !IsReady(*connection)) throw CVNXException(ErrorCode::PortNotOpen);
  return *connection;
}

std::string HostLink::NetExchange(std::int32_t address, std::string_view data, bool asCommand,
                                  std::optional<std::size_t> answerSize, bool lineMode) {
  if (address == kKeepAddress) address = currentAddress_;
  std::string frame;
  frame.reserve(data.size() + 2);
  frame += kEveryMotor;
  frame += data;
  if (asCommand) frame += kCarriageReturn;
  if (address == 0) {
    if (answerSize) throw CVNXException(ErrorCode::MoreThanOneMotor);
    for (NetConnection* connection : OpenConnections()) SendInPieces(*connection, frame);
    return {};
  }
  NetConnection& connection = ConnectionOf(address);
  SendInPieces(connection, frame);
  if (!answerSize) return {};
  return lineMode ? connection.ReadLine(*answerSize, settings.timeout)
                  : connection.ReadBytes(*answerSize, settings.timeout);
}

void HostLink::NetWrite(std::string_view bytes) {
  if (currentAddress_ != 0) return SendInPieces(ConnectionOf(currentAddress_), bytes);
  for (NetConnection* connection : OpenConnections()) SendInPieces(*connection, bytes);
}

std::string HostLink::NetReadBytes(std::size_t max, std::int32_t timeout) {
  std::string bytes;
  for (NetConnection* connection : OpenConnections()) {
    if (bytes.size() >= max) break;
    try {
      bytes += connection->ReadBytes(max - bytes.size(), timeout);
    } catch (const CVNXException& failure) {
      if (failure.Code() != static_cast<std::uint32_t>(ErrorCode::NoResponse)) throw;
    }
  }
  return bytes;
}

std::string HostLink::NetReadLine(std::size_t max, std::int32_t timeout) {
  if (currentAddress_ == 0) throw CVNXException(ErrorCode::MoreThanOneMotor);
  return ConnectionOf(currentAddress_).ReadLine(max, timeout);
}

void HostLink::NetClearBuffer() {
  for (NetConnection* connection : OpenConnections()) connection->Purge();
  lineBuffer_.clear();
}

std::int32_t HostLink::NetBytesAvailable() const {
  std::size_t waiting = 0;
  for (NetConnection* connection : OpenConnections()) waiting += connection->Available();
  return static_cast<std::int32_t>(waiting);
}

}  // namespace velkor::engine
