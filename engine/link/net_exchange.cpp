// The host link on a network: every motor has a TCP connection of its own,
// and a command goes to the connection of the motor it addresses. The
// adapters carry bytes only, so there is no echo to check and no line time
// to wait for.

#include "engine/core/errors.h"
#include "engine/link/host_link.h"
#include "engine/link/motor_connection.h"

namespace velkor::engine {

namespace {
constexpr std::int32_t kReconnectTimeout = 500;

bool IsReady(const NetConnection& connection) { return connection.State() == NetState::Ready; }
}  // namespace

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
  NetConnection* target = address == 0 ? nullptr : &ConnectionOf(address);
  return connection::Deliver(target, OpenConnections(), connection::Frame(data, asCommand), asCommand,
                             answerSize, lineMode, settings.timeout);
}

void HostLink::NetWrite(std::string_view bytes) {
  if (currentAddress_ != 0) return connection::SendInPieces(ConnectionOf(currentAddress_), bytes);
  for (NetConnection* each : OpenConnections()) connection::SendInPieces(*each, bytes);
}

std::string HostLink::NetReadBytes(std::size_t max, std::int32_t timeout) {
  return connection::ReadFromEach(OpenConnections(), max, timeout);
}

std::string HostLink::NetReadLine(std::size_t max, std::int32_t timeout) {
  if (currentAddress_ == 0) throw CVNXException(ErrorCode::MoreThanOneMotor);
  return ConnectionOf(currentAddress_).ReadLine(max, timeout);
}

void HostLink::NetClearBuffer() {
  for (NetConnection* each : OpenConnections()) connection::Discard(*each);
  lineBuffer_.clear();
}

std::int32_t HostLink::NetBytesAvailable() const { return connection::AvailableIn(OpenConnections()); }

}  // namespace velkor::engine
