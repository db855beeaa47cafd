#include "python/binding/engine_object.h"

#include <vector>

#include "python/binding/conversion.h"
#include "python/binding/notification.h"
#include "velkor/activation.h"
#include "velkor/bstr.h"
#include "velkor/guid.h"
#include "velkor/variant.h"

namespace velkor::python {

namespace {

constexpr LCID kEnglish = 0x409;

IID ParseInterfaceId(const std::string& text) {
  auto parsed = ParseGuid(text);
  if (!parsed) throw py::value_error("not an interface identifier: " + text);
  return *parsed;
}

// The error information the failed call left for this thread, when the
// object says it gives error information for the interface.
EngineFailure FailureOf(HRESULT status, IDispatch* object, const IID& iid) {
  EngineFailure failure;
  failure.status = status;
  ComPtr<ISupportErrorInfo> support;
  if (!object || FAILED(object->QueryInterface(IID_ISupportErrorInfo, support.OutVoid())) ||
      support->InterfaceSupportsErrorInfo(iid) != S_OK)
    return failure;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Out()) != S_OK || !info) return failure;
  failure.hasErrorInfo = true;
  Bstr description, source, helpFile;
  info->GetDescription(description.Out());
  info->GetSource(source.Out());
  info->GetHelpFile(helpFile.Out());
  info->GetHelpContext(&failure.helpContext);
  GUID named = GUID_NULL;
  info->GetGUID(&named);
  failure.description = description.Utf8();
  failure.source = source.Utf8();
  failure.helpFile = helpFile.Utf8();
  failure.interfaceId = FormatGuid(named);
  return failure;
}

EngineFailure PlainFailure(HRESULT status) {
  EngineFailure failure;
  failure.status = status;
  return failure;
}

}  // namespace

EngineObject EngineObject::Create(const std::string& progIdOrClassId, const std::string& interfaceId) {
  const IID iid = ParseInterfaceId(interfaceId);
  ComPtr<IDispatch> dispatch;
  HRESULT status = S_OK;
  {
    py::gil_scoped_release unlocked;  // loading the engine and creating a host read files
    status = CreateObject(progIdOrClassId, iid, dispatch.OutVoid());
  }
  if (FAILED(status)) throw PlainFailure(status);
  return EngineObject(std::move(dispatch), iid);
}

EngineObject EngineObject::Query(const std::string& interfaceId) const {
  const IID iid = ParseInterfaceId(interfaceId);
  ComPtr<IDispatch> other;
  HRESULT status = dispatch_->QueryInterface(iid, other.OutVoid());
  if (FAILED(status)) throw PlainFailure(status);
  return EngineObject(std::move(other), iid);
}

DISPID EngineObject::IdOfName(const std::string& name) const {
  std::u16string wide = Utf8ToUtf16(name);
  LPOLESTR names[] = {wide.data()};
  DISPID dispid = DISPID_UNKNOWN;
  HRESULT status = dispatch_->GetIDsOfNames(GUID_NULL, names, 1, kEnglish, &dispid);
  if (FAILED(status)) throw PlainFailure(status);
  return dispid;
}

py::object EngineObject::Invoke(DISPID dispid, WORD flags, const py::sequence& arguments) const {
  static_assert(sizeof(Variant) == sizeof(VARIANT), "an array of Variant is an array of VARIANT");
  const std::size_t count = arguments.size();
  std::vector<Variant> converted(count);
  for (std::size_t i = 0; i < count; ++i) ToVariant(arguments[i], converted[count - 1 - i]);  // last first

  DISPID putValue = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{converted.data(), nullptr, static_cast<UINT>(count), 0};
  if (flags & DISPATCH_PROPERTYPUT) {
    parameters.rgdispidNamedArgs = &putValue;
    parameters.cNamedArgs = 1;
  }
  Variant result;
  UINT argumentError = 0;
  HRESULT status = S_OK;
  EngineFailure failure;
  DiscardCallbackError();
  {
    // Long transfers run here; notification callbacks take the lock back.
    py::gil_scoped_release unlocked;
    // A successful call leaves older error information in place: clear it so
    // that a failure without its own is not described by a stale one.
    SetErrorInfo(0, nullptr);
    status = dispatch_->Invoke(dispid, GUID_NULL, kEnglish, flags, &parameters, &result, nullptr, &argumentError);
    if (FAILED(status)) failure = FailureOf(status, dispatch_.get(), iid_);
  }
  RaiseCallbackError();
  if (FAILED(status)) throw failure;
  return FromVariant(result);
}

std::uintptr_t EngineObject::Identity() const {
  ComPtr<IUnknown> unknown;
  dispatch_->QueryInterface(IID_IUnknown, unknown.OutVoid());
  return reinterpret_cast<std::uintptr_t>(unknown.get());
}

}  // namespace velkor::python
