// IVNXComm: program download and upload by motor number (serial links).

#include <filesystem>

#include "engine/host/comm_guard.h"
#include "engine/host/host_object.h"
#include "engine/motor/host_transfer.h"
#include "velkor/bstr.h"

namespace velkor::engine {

void CVNXHost::RequireTransferTarget(LONG motor, LONG lowest) const {
  if (!link_->IsSerial()) throw CVNXException(ErrorCode::InvalidData);
  if (!link_->IsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
  if (motor < lowest || motor > static_cast<LONG>(motors_.Size())) throw CVNXException(ErrorCode::InvalidData);
}

namespace {
std::filesystem::path RequiredPath(BSTR name) {
  if (!name) throw CVNXException(ErrorCode::InvalidData);
  return std::filesystem::path(BstrToUtf8(name));
}
}  // namespace

HRESULT CVNXHost::Download(LONG motor, BSTR fileName) {
  return CommGuard::Do([&] {
    RequireTransferTarget(motor, 0);
    transfer::HostDownload(*link_, static_cast<std::int32_t>(motors_.Size()), motor, RequiredPath(fileName));
  });
}

HRESULT CVNXHost::Upload(LONG motor, BSTR fileName) {
  return CommGuard::Do([&] {
    RequireTransferTarget(motor, 1);
    transfer::HostUpload(*link_, motor, RequiredPath(fileName), false);
  });
}

HRESULT CVNXHost::ForceUpload(LONG motor, BSTR fileName) {
  return CommGuard::Do([&] {
    RequireTransferTarget(motor, 1);
    transfer::HostUpload(*link_, motor, RequiredPath(fileName), true);
  });
}

HRESULT CVNXHost::ClearEEPROM(LONG motor) {
  return CommGuard::Do([&] {
    RequireTransferTarget(motor, 1);
    transfer::HostClearEeprom(*link_, motor);
  });
}

}  // namespace velkor::engine
