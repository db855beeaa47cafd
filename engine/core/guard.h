#pragma once
// Every automation method body runs inside Guard: engine exceptions become
// the caller's error information and E_FAIL, never an exception across the
// interface.

#include <exception>
#include <string_view>
#include <utility>

#include "engine/core/errors.h"
#include "velkor/automation_types.h"

namespace velkor::engine {

// Logs the exception under the interface's category and installs the
// error information for the calling thread. Returns the status of creating
// the error information object.
HRESULT ReportException(const CVNXException& exception, REFIID iid);

// The log category of an interface, 0 for one that is not the engine's.
std::uint32_t LogCategoryOf(REFIID iid);

template <class Body>
HRESULT Guard(REFIID iid, Body&& body) noexcept {
  try {
    body();
    return S_OK;
  } catch (const CVNXException& exception) {
    ReportException(exception, iid);
  } catch (...) {
    try {
      ReportException(CVNXException(ErrorCode::EngineException), iid);
    } catch (...) {
      // Nothing more can be told when even that fails.
    }
  }
  return E_FAIL;
}

// A property getter: a null out-pointer is E_POINTER, as the object entry
// points answer; otherwise the guarded body's value is stored.
template <class Value, class Body>
HRESULT GuardedGet(REFIID iid, Value* out, Body&& body) noexcept {
  if (!out) return E_POINTER;
  return Guard(iid, [&] { *out = body(); });
}

// The guard of one interface's members, so that a body names its interface
// once: InterfaceGuard<IID_IVNXComm>::Do([&] { ... }).
template <const IID& iid>
struct InterfaceGuard {
  template <class Value, class Body>
  static HRESULT Get(Value* out, Body&& body) noexcept {
    return GuardedGet(iid, out, std::forward<Body>(body));
  }
  template <class Body>
  static HRESULT Do(Body&& body) noexcept {
    return Guard(iid, std::forward<Body>(body));
  }
};

// A member that a later version of the engine provides: E_NOTIMPL with error
// information that says so.
HRESULT NotImplemented(REFIID iid, std::string_view interfaceName, std::string_view memberName);

}  // namespace velkor::engine
