// IVNXComm: the host's configuration, log and notification members.

#include "engine/host/host_object.h"
#include "engine/core/log.h"
#include "engine/host/version.h"
#include "velkor/bstr.h"

namespace velkor::engine {

namespace {
template <class Value, class Body>
HRESULT Get(Value* out, Body&& body) {
  return GuardedGet(IID_IVNXComm, out, std::forward<Body>(body));
}
template <class Body>
HRESULT Do(Body&& body) {
  return Guard(IID_IVNXComm, std::forward<Body>(body));
}
}  // namespace

HRESULT CVNXHost::get_TxMaxRetry(LONG* count) {
  return Get(count, [&] { return link_.txMaxRetry; });
}
HRESULT CVNXHost::put_TxMaxRetry(LONG count) {
  return Do([&] { link_.txMaxRetry = count; });
}

// The time-outs take effect on the port at once once the link can open one;
// until then they are used when it opens.
HRESULT CVNXHost::get_TxTimeoutMul(LONG* milliseconds) {
  return Get(milliseconds, [&] { return link_.txTimeoutMul; });
}
HRESULT CVNXHost::put_TxTimeoutMul(LONG milliseconds) {
  return Do([&] { link_.txTimeoutMul = milliseconds; });
}
HRESULT CVNXHost::get_TxTimeoutConst(LONG* milliseconds) {
  return Get(milliseconds, [&] { return link_.txTimeoutConst; });
}
HRESULT CVNXHost::put_TxTimeoutConst(LONG milliseconds) {
  return Do([&] { link_.txTimeoutConst = milliseconds; });
}
HRESULT CVNXHost::get_EchoTimeoutMul(LONG* milliseconds) {
  return Get(milliseconds, [&] { return link_.echoTimeoutMul; });
}
HRESULT CVNXHost::put_EchoTimeoutMul(LONG milliseconds) {
  return Do([&] { link_.echoTimeoutMul = milliseconds; });
}
HRESULT CVNXHost::get_EchoTimeoutConst(LONG* milliseconds) {
  return Get(milliseconds, [&] { return link_.echoTimeoutConst; });
}
HRESULT CVNXHost::put_EchoTimeoutConst(LONG milliseconds) {
  return Do([&] { link_.echoTimeoutConst = milliseconds; });
}

HRESULT CVNXHost::get_LogFlags(LONG* flags) {
  return Get(flags, [] { return static_cast<LONG>(log::Flags()); });
}
HRESULT CVNXHost::put_LogFlags(LONG flags) {
  return Do([&] { log::SetFlags(static_cast<std::uint32_t>(flags)); });
}
HRESULT CVNXHost::get_LogFileName(BSTR* fileName) {
  return Get(fileName, [] { return AllocBstr(log::FileName()); });
}
HRESULT CVNXHost::put_LogFileName(BSTR fileName) {
  return Do([&] { log::SetFileName(BstrToUtf8(fileName)); });
}

HRESULT CVNXHost::InitializeNotification(LONG window, LONG message) {
  return Do([&] {
    link_.notificationWindow = window;
    link_.notificationMessage = static_cast<std::uint32_t>(message);
  });
}

HRESULT CVNXHost::get_EngineVersion(LONG* version) {
  return Get(version, [] { return EngineVersionFrom(ProductVersion()); });
}

}  // namespace velkor::engine
