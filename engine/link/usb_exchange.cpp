// The host link on USB: every motor has an adapter device of its own, and a
// command goes to the adapter of the motor it addresses. As on a network,
// the adapters carry bytes only: no echo to check, no line time to wait for.

#include "engine/core/errors.h"
#include "engine/link/host_link.h"
#include "engine/link/motor_connection.h"

namespace velkor::engine {

std::vector<UsbPort*> HostLink::OpenUsbPorts() const {
  std::vector<UsbPort*> open;
  if (!motors_) return open;
  for (UsbPort* port : motors_->UsbPorts())
    if (port->IsOpen()) open.push_back(port);
  return open;
}

void HostLink::OpenUsb() {
  if (!motors_) return;
  const std::vector<UsbPort*> ports = motors_->UsbPorts();
  if (ports.empty()) return;
  bool anyOpen = false;
  for (UsbPort* port : ports) {
    if (port->Open()) anyOpen = true;
    else port->Close();
  }
  if (!anyOpen) throw CVNXException(ErrorCode::NoUsbMotor);
}

void HostLink::CloseUsb() {
  if (!motors_) return;
  for (UsbPort* port : motors_->UsbPorts()) port->Close();
}

UsbPort& HostLink::UsbPortOf(std::int32_t address) const {
  if (!motors_ || !motors_->HasMotor(address)) throw CVNXException(ErrorCode::InvalidData);
  UsbPort* port = motors_->UsbPortAt(address);
  if (!port || !port->IsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
  return *port;
}

std::string HostLink::UsbExchange(std::int32_t address, std::string_view data, bool asCommand,
                                  std::optional<std::size_t> answerSize, bool lineMode) {
  if (address == kKeepAddress) address = currentAddress_;
  UsbPort* target = address == 0 ? nullptr : &UsbPortOf(address);
  return connection::Deliver(target, OpenUsbPorts(), connection::Frame(data, asCommand), asCommand,
                             answerSize, lineMode, settings.timeout);
}

void HostLink::UsbWrite(std::string_view bytes) {
  if (currentAddress_ != 0) return connection::SendInPieces(UsbPortOf(currentAddress_), bytes);
  for (UsbPort* each : OpenUsbPorts()) connection::SendInPieces(*each, bytes);
}

std::string HostLink::UsbReadBytes(std::size_t max, std::int32_t timeout) {
  return connection::ReadFromEach(OpenUsbPorts(), max, timeout);
}

std::string HostLink::UsbReadLine(std::size_t max, std::int32_t timeout) {
  if (currentAddress_ == 0) throw CVNXException(ErrorCode::MoreThanOneMotor);
  return UsbPortOf(currentAddress_).ReadLine(max, timeout);
}

void HostLink::UsbClearBuffer() {
  for (UsbPort* each : OpenUsbPorts()) connection::Discard(*each);
  lineBuffer_.clear();
}

std::int32_t HostLink::UsbBytesAvailable() const { return connection::AvailableIn(OpenUsbPorts()); }

}  // namespace velkor::engine
