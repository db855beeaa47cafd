#include "engine/motor/motor_record.h"

#include <cstdlib>

#include "engine/core/errors.h"
#include "engine/link/motor_connection.h"
#include "engine/motor/answer_number.h"

namespace velkor::engine {

std::shared_ptr<HostLink> MotorRecord::Link() const {
  auto link = link_.lock();
  if (!link) throw CVNXException(ErrorCode::InvalidData);
  return link;
}

NetConnection& MotorRecord::OpenConnection() const {
  if (!netConnection || netConnection->State() != NetState::Ready) throw CVNXException(ErrorCode::PortNotOpen);
  return *netConnection;
}

UsbPort& MotorRecord::OpenUsbPort() const {
  if (!usbPort || !usbPort->IsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
  return *usbPort;
}

std::string MotorRecord::OwnLinkCommand(HostLink& link, std::string_view text, bool answer) const {
  // The text is cut as on a serial link, but its digits address nothing:
  // the connection already leads to this motor alone.
  const std::string command = PrepareCommand(text, false).text;
  if (!answer) return link.Exchange(address, command, true);
  return link.Exchange(address, command, true, kAnswerSize, true);
}

MotorRecord::Addressing MotorRecord::AddressingOn(const HostLink& link) const {
  if (link.CurrentAddress() == address) return {kKeepAddress, true};
  return {address, false};
}

void MotorRecord::MotorSendCommand(std::string_view text) {
  auto link = Link();
  if (link->HasMotorConnections()) return static_cast<void>(OwnLinkCommand(*link, text, false));
  auto [to, select] = AddressingOn(*link);
  link->SendCommand(text, to, select);
}

std::string MotorRecord::MotorGetResponse(std::string_view text) {
  auto link = Link();
  auto [to, select] = AddressingOn(*link);
  try {
    if (link->HasMotorConnections()) return OwnLinkCommand(*link, text, true);
    return link->SendCommandGetResponse(text, to, select);
  } catch (const CVNXException& failure) {
    if (failure.Code() != static_cast<std::uint32_t>(ErrorCode::NoResponse)) throw;
    throw CVNXException(ErrorCode::NoResponse, static_cast<std::uint32_t>(address));
  }
}

void MotorRecord::MotorWriteBytes(std::string_view bytes) {
  auto link = Link();
  if (link->IsNetwork()) return connection::SendInPieces(OpenConnection(), bytes);
  if (link->IsUsb()) return connection::SendInPieces(OpenUsbPort(), bytes);
  link->WriteChunked(bytes);
}

void MotorRecord::MotorClearBuffer() {
  auto link = Link();
  if (link->IsNetwork()) return connection::Discard(OpenConnection());
  if (link->IsUsb()) return connection::Discard(OpenUsbPort());
  link->ClearBuffer();
}

std::string MotorRecord::MotorReadLine(std::size_t max, std::int32_t timeout) {
  auto link = Link();
  if (link->IsNetwork()) return OpenConnection().ReadLine(max, timeout);
  if (link->IsUsb()) return OpenUsbPort().ReadLine(max, timeout);
  return link->ReadLine(max, timeout);
}

std::string MotorRecord::MotorReadBytes(std::size_t max, std::int32_t timeout) {
  auto link = Link();
  if (link->IsNetwork()) return OpenConnection().ReadBytes(max, timeout);
  if (link->IsUsb()) return OpenUsbPort().ReadBytes(max, timeout);
  return link->ReadBytes(max, timeout);
}

bool MotorRecord::MotorIsOpen() const {
  auto link = link_.lock();
  if (!link) return false;
  if (link->IsNetwork()) return netConnection && netConnection->State() == NetState::Ready;
  if (link->IsUsb()) return usbPort && usbPort->IsOpen();
  return link->IsOpen();
}

// On network and USB links there is no selection to keep: every command
// goes to this motor's own connection, so the addressed and unaddressed
// forms agree.
std::string MotorRecord::Ask(std::string_view text) {
  auto link = Link();
  if (link->HasMotorConnections()) return OwnLinkCommand(*link, text, true);
  auto [to, select] = AddressingOn(*link);
  return link->SendCommandGetResponse(text, to, select);
}

void MotorRecord::SendUnaddressed(std::string_view text) {
  auto link = Link();
  if (link->HasMotorConnections()) return static_cast<void>(OwnLinkCommand(*link, text, false));
  link->SendCommand(text, kKeepAddress, false);
}

std::string MotorRecord::AskUnaddressed(std::string_view text) {
  auto link = Link();
  if (link->HasMotorConnections()) return OwnLinkCommand(*link, text, true);
  return link->SendCommandGetResponse(text, kKeepAddress, false);
}

void MotorRecord::ReadVersion() {
  firmwareVersion.clear();
  sampleRate = 0.0;
  auto link = Link();
  if (!link->IsOpen()) link->Open();
  SamplePeriodAnswer parsed = ParseSamplePeriodAnswer(MotorGetResponse("RSP"));
  if (!parsed.hadSlash) return;
  firmwareVersion = std::string(TrimBlanks(parsed.version));
  sampleRate = parsed.sampleRate;
}

SamplePeriodAnswer ParseSamplePeriodAnswer(std::string_view answer) {
  SamplePeriodAnswer parsed;
  std::size_t slash = answer.find('/');
  parsed.hadSlash = slash != std::string_view::npos;
  parsed.version = std::string(parsed.hadSlash ? answer.substr(slash + 1) : answer);
  const std::string period(TrimBlanks(answer.substr(0, slash)));
  const double tens = std::strtod(period.c_str(), nullptr);
  if (tens > 0.0) parsed.sampleRate = 100000000.0 / tens;
  return parsed;
}

}  // namespace velkor::engine
