// IVNXComm: the port and the command exchange.

#include <chrono>
#include <thread>

#include "engine/core/byte_string.h"
#include "engine/core/errors.h"
#include "engine/host/comm_guard.h"
#include "engine/host/host_object.h"
#include "velkor/bstr.h"

namespace velkor::engine {

namespace {

// Re-sends the address of the current motor when another motor was
// addressed since.
void Reselect(HostLink& link) {
  if (link.AddressDirty()) link.Exchange(link.CurrentAddress(), "", true);
}

}  // namespace

HRESULT CVNXHost::OpenPort(BSTR portName) {
  return CommGuard::Do([&] {
    if (link_->IsSerial()) {
      if (SysStringLen(portName) == 0) throw CVNXException(ErrorCode::InvalidData);
      link_->settings.portName = BstrToUtf8(portName);
    }
    link_->Open();
  });
}

HRESULT CVNXHost::ClosePort() {
  return CommGuard::Do([&] { link_->Close(); });
}

HRESULT CVNXHost::get_PortHandle(LONG* handle) {
  return CommGuard::Get(handle, [&] { return link_->PortHandle(); });
}

HRESULT CVNXHost::get_PortName(BSTR* portName) {
  return CommGuard::Get(portName, [&] { return AllocBstr(link_->settings.portName); });
}

HRESULT CVNXHost::ClearBuffer() {
  return CommGuard::Do([&] { link_->ClearBuffer(); });
}

HRESULT CVNXHost::get_BytesAvailable(LONG* count) {
  return CommGuard::Get(count, [&] {
    link_->RequireOpenSerial();
    return link_->BytesAvailable();
  });
}

HRESULT CVNXHost::WriteCommand(BSTR command) {
  return CommGuard::Do([&] {
    link_->RequireOpenSerial();
    std::string text = BytesOf(command);
    text.resize(std::min(text.size(), kMaxCommandLength));
    Reselect(*link_);
    link_->Exchange(kKeepAddress, text, true);
  });
}

HRESULT CVNXHost::WriteCmd(BSTR command) {
  return CommGuard::Do([&] {
    link_->RequireOpenSerial();
    link_->SendCommand(BytesOf(command), kKeepAddress, true);
  });
}

HRESULT CVNXHost::WriteString(BSTR data) {
  return CommGuard::Do([&] {
    link_->RequireOpenSerial();
    if (SysStringLen(data) >= kAnswerSize) throw CVNXException(ErrorCode::InvalidData);
    const std::string bytes = BytesOf(data);
    Reselect(*link_);
    link_->Exchange(kKeepAddress, bytes, false);
  });
}

HRESULT CVNXHost::ReadResponse(BSTR* response) {
  return CommGuard::Get(response, [&] {
    link_->RequireOpenSerial();
    return StringOf(link_->ReadLine(kMaxCommandLength, link_->settings.timeout));
  });
}

HRESULT CVNXHost::ReadString(LONG count, BSTR* data) {
  return CommGuard::Get(data, [&] {
    if (count < 0 || count >= static_cast<LONG>(kAnswerSize)) throw CVNXException(ErrorCode::InvalidData);
    link_->RequireOpenSerial();
    return StringOf(link_->ReadBytes(static_cast<std::size_t>(count), 0));
  });
}

HRESULT CVNXHost::GetResponseOf(BSTR command, BSTR* response) {
  return CommGuard::Get(response, [&] {
    link_->RequireOpenSerial();
    if (SysStringLen(command) == 0) throw CVNXException(ErrorCode::InvalidData);
    return StringOf(link_->SendCommandGetResponse(BytesOf(command), kKeepAddress, true));
  });
}

HRESULT CVNXHost::Wait(LONG milliseconds) {
  return CommGuard::Do([&] {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  });
}

HRESULT CVNXHost::get_DefaultMotor(LONG* address) {
  return CommGuard::Get(address, [&] { return link_->CurrentAddress(); });
}

HRESULT CVNXHost::put_DefaultMotor(LONG address) {
  return CommGuard::Do([&] {
    link_->RequireOpenSerial();
    link_->SelectMotor(address);
  });
}

HRESULT CVNXHost::get_Echo(VARIANT_BOOL* on) {
  return CommGuard::Get(on, [&] { return link_->settings.echo ? VARIANT_TRUE : VARIANT_FALSE; });
}

HRESULT CVNXHost::put_Echo(VARIANT_BOOL on) {
  return CommGuard::Do([&] {
    if (link_->settings.linkType != LinkType::RS232) throw CVNXException(ErrorCode::InvalidData);
    if (!link_->IsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
    link_->SetEcho(on != 0);
  });
}

HRESULT CVNXHost::get_Parity(enum_parity* parity) {
  return CommGuard::Get(parity, [&] { return static_cast<enum_parity>(link_->settings.parity); });
}

// Stored only; it takes effect at the next open. A value outside the
// enumeration would make that open fail, so it is refused here.
HRESULT CVNXHost::put_Parity(enum_parity parity) {
  return CommGuard::Do([&] {
    if (parity < vnx_none || parity > vnx_space) throw CVNXException(ErrorCode::InvalidData);
    link_->settings.parity = static_cast<std::uint8_t>(parity);
  });
}

HRESULT CVNXHost::get_BaudRate(LONG* baud) {
  return CommGuard::Get(baud, [&] {
    if (!link_->IsSerial()) throw CVNXException(ErrorCode::InvalidData);
    return link_->settings.baudRate;
  });
}

HRESULT CVNXHost::put_BaudRate(LONG baud) {
  return CommGuard::Do([&] {
    if (!link_->IsSerial()) throw CVNXException(ErrorCode::InvalidData);
    link_->ChangeBaud(baud);
  });
}

HRESULT CVNXHost::get_Timeout(LONG* milliseconds) {
  return CommGuard::Get(milliseconds, [&] { return link_->settings.timeout; });
}

HRESULT CVNXHost::put_Timeout(LONG milliseconds) {
  return CommGuard::Do([&] {
    // A negative time-out would become a wait of weeks in the serial layer.
    if (milliseconds < 0) throw CVNXException(ErrorCode::InvalidData);
    link_->settings.timeout = milliseconds;
  });
}

HRESULT CVNXHost::get_CharDelay(LONG* milliseconds) {
  return CommGuard::Get(milliseconds, [&] { return link_->CharDelay(); });
}

HRESULT CVNXHost::put_CharDelay(LONG) {
  return CommGuard::Do([] {});  // derived from the line settings; nothing to store
}

}  // namespace velkor::engine
