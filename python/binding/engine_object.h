#pragma once
// One interface of an engine object, driven late-bound as any automation
// client drives it: created by ProgID through the runtime, members found with
// GetIDsOfNames and called with Invoke, failures described by the thread's
// error information.

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>

#include "velkor/com_ptr.h"
#include "velkor/unknown.h"

namespace velkor::python {

namespace py = pybind11;

// A failed call or creation; the module turns it into velkor.EngineError.
struct EngineFailure {
  HRESULT status = S_OK;
  bool hasErrorInfo = false;
  std::string description;
  std::string source;
  std::string helpFile;
  DWORD helpContext = 0;
  std::string interfaceId;  // the interface the error information names
};

class EngineObject {
 public:
  EngineObject(ComPtr<IDispatch> dispatch, const IID& iid) : dispatch_(std::move(dispatch)), iid_(iid) {}

  // `interfaceId` is a "{...}" interface identifier.
  static EngineObject Create(const std::string& progIdOrClassId, const std::string& interfaceId);
  EngineObject Query(const std::string& interfaceId) const;
  DISPID IdOfName(const std::string& name) const;
  // `arguments` in their written order; for a put, the value comes last.
  py::object Invoke(DISPID dispid, WORD flags, const py::sequence& arguments) const;

  IDispatch* Dispatch() const { return dispatch_.get(); }
  // The object's IUnknown: the same for every interface of one object.
  std::uintptr_t Identity() const;

 private:
  ComPtr<IDispatch> dispatch_;
  IID iid_;
};

}  // namespace velkor::python
