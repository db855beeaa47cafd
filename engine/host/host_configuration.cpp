// IVNXComm: the host's configuration, log, notification and version members.

#include "engine/host/comm_guard.h"
#include "engine/host/host_object.h"
#include "engine/core/log.h"
#include "engine/host/version.h"
#include "velkor/bstr.h"

namespace velkor::engine {

HRESULT CVNXHost::get_TxMaxRetry(LONG* count) {
  return CommGuard::Get(count, [&] { return link_->settings.txMaxRetry; });
}
HRESULT CVNXHost::put_TxMaxRetry(LONG count) {
  return CommGuard::Do([&] {
    if (count < 0) throw CVNXException(ErrorCode::InvalidData);
    link_->settings.txMaxRetry = count;
  });
}

namespace {
// -1 asks for the computed value; below that a time-out means nothing (and
// would become a wait of weeks in the serial layer).
void RequireTimeout(LONG milliseconds) {
  if (milliseconds < -1) throw CVNXException(ErrorCode::InvalidData);
}
}  // namespace

// A changed time-out takes effect on an open port at once; on a closed one
// it is used when the port opens.
void CVNXHost::ReprogramTimeouts() {
  if (link_->IsOpen()) link_->SetPortTimeouts(link_->settings.timeout);
}

HRESULT CVNXHost::get_TxTimeoutMul(LONG* milliseconds) {
  return CommGuard::Get(milliseconds, [&] { return link_->settings.txTimeoutMul; });
}
HRESULT CVNXHost::put_TxTimeoutMul(LONG milliseconds) {
  return CommGuard::Do([&] {
    RequireTimeout(milliseconds);
    link_->settings.txTimeoutMul = milliseconds;
    ReprogramTimeouts();
  });
}
HRESULT CVNXHost::get_TxTimeoutConst(LONG* milliseconds) {
  return CommGuard::Get(milliseconds, [&] { return link_->settings.txTimeoutConst; });
}
HRESULT CVNXHost::put_TxTimeoutConst(LONG milliseconds) {
  return CommGuard::Do([&] {
    RequireTimeout(milliseconds);
    link_->settings.txTimeoutConst = milliseconds;
    ReprogramTimeouts();
  });
}
HRESULT CVNXHost::get_EchoTimeoutMul(LONG* milliseconds) {
  return CommGuard::Get(milliseconds, [&] { return link_->settings.echoTimeoutMul; });
}
HRESULT CVNXHost::put_EchoTimeoutMul(LONG milliseconds) {
  return CommGuard::Do([&] {
    RequireTimeout(milliseconds);
    link_->settings.echoTimeoutMul = milliseconds;
    ReprogramTimeouts();
  });
}
HRESULT CVNXHost::get_EchoTimeoutConst(LONG* milliseconds) {
  return CommGuard::Get(milliseconds, [&] { return link_->settings.echoTimeoutConst; });
}
HRESULT CVNXHost::put_EchoTimeoutConst(LONG milliseconds) {
  return CommGuard::Do([&] {
    RequireTimeout(milliseconds);
    link_->settings.echoTimeoutConst = milliseconds;
    ReprogramTimeouts();
  });
}

HRESULT CVNXHost::get_LogFlags(LONG* flags) {
  return CommGuard::Get(flags, [] { return static_cast<LONG>(log::Flags()); });
}
HRESULT CVNXHost::put_LogFlags(LONG flags) {
  return CommGuard::Do([&] { log::SetFlags(static_cast<std::uint32_t>(flags)); });
}
HRESULT CVNXHost::get_LogFileName(BSTR* fileName) {
  return CommGuard::Get(fileName, [] { return AllocBstr(log::FileName()); });
}
HRESULT CVNXHost::put_LogFileName(BSTR fileName) {
  return CommGuard::Do([&] { log::SetFileName(BstrToUtf8(fileName)); });
}

HRESULT CVNXHost::InitializeNotification(LONG window, LONG message) {
  return CommGuard::Do([&] {
    link_->settings.notificationWindow = window;
    link_->settings.notificationMessage = static_cast<std::uint32_t>(message);
  });
}

HRESULT CVNXHost::get_EngineVersion(LONG* version) {
  return CommGuard::Get(version, [] { return EngineVersionFrom(ProductVersion()); });
}

}  // namespace velkor::engine
