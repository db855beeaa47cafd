// The host link on USB: every motor has an adapter device of its own, and a
// command goes to the adapter of the motor it addresses. As on a network,
// the adapters carry bytes only: no echo to check, no line time to wait for.

#include <chrono>
#include <thread>

#include "engine/core/errors.h"
#include "engine/link/host_link.h"
#include "engine/link/usb_port.h"

namespace velkor::engine {

namespace {
constexpr std::size_t kPiece = 8;
constexpr auto kPiecePause = std::chrono::milliseconds(5);
// The motor is alone behind its adapter: the address byte for every motor
// selects it whatever its address.
constexpr char kEveryMotor = static_cast<char>(0x80);
constexpr char kCarriageReturn = '\r';
}  // namespace

void SendInPieces(UsbPort& port, std::string_view bytes) {
  while (!bytes.empty()) {
    std::string_view piece = bytes.substr(0, kPiece);
    port.Write(piece);
    std::this_thread::sleep_for(kPiecePause);
    bytes.remove_prefix(piece.size());
  }
}

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
  std::string frame;
  frame.reserve(data.size() + 2);
  frame += kEveryMotor;
  frame += data;
  if (asCommand) frame += kCarriageReturn;
  if (address == 0) {
    if (answerSize) throw CVNXException(ErrorCode::MoreThanOneMotor);
    for (UsbPort* port : OpenUsbPorts()) SendInPieces(*port, frame);
    return {};
  }
  UsbPort& port = UsbPortOf(address);
  SendInPieces(port, frame);
  if (!answerSize) return {};
  return lineMode ? port.ReadLine(*answerSize, settings.timeout) : port.ReadBytes(*answerSize, settings.timeout);
}

void HostLink::UsbWrite(std::string_view bytes) {
  if (currentAddress_ != 0) return SendInPieces(UsbPortOf(currentAddress_), bytes);
  for (UsbPort* port : OpenUsbPorts()) SendInPieces(*port, bytes);
}

std::string HostLink::UsbReadBytes(std::size_t max, std::int32_t timeout) {
  std::string bytes;
  for (UsbPort* port : OpenUsbPorts()) {
    if (bytes.size() >= max) break;
    try {
      bytes += port->ReadBytes(max - bytes.size(), timeout);
    } catch (const CVNXException& failure) {
      if (failure.Code() != static_cast<std::uint32_t>(ErrorCode::NoResponse)) throw;
    }
  }
  return bytes;
}

std::string HostLink::UsbReadLine(std::size_t max, std::int32_t timeout) {
  if (currentAddress_ == 0) throw CVNXException(ErrorCode::MoreThanOneMotor);
  return UsbPortOf(currentAddress_).ReadLine(max, timeout);
}

void HostLink::UsbClearBuffer() {
  for (UsbPort* port : OpenUsbPorts()) port->Flush();
  lineBuffer_.clear();
}

std::int32_t HostLink::UsbBytesAvailable() const {
  std::size_t waiting = 0;
  for (UsbPort* port : OpenUsbPorts()) waiting += port->Available();
  return static_cast<std::int32_t>(waiting);
}

}  // namespace velkor::engine
