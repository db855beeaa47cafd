#include "engine/host/scan_object.h"

#include "velkor/bstr.h"

namespace velkor::engine {

HRESULT CVNXScan::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IVNXScan) {
    *object = static_cast<IVNXScan*>(this);
  } else if (iid == IID_IVNXErrors) {
    *object = static_cast<IVNXErrors*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT CVNXScan::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == IID_IVNXScan || iid == IID_IVNXErrors ? S_OK : S_FALSE;
}

namespace {
using ErrorsGuard = InterfaceGuard<IID_IVNXErrors>;
}  // namespace

const CVNXScan::Diagnostic& CVNXScan::Current() const {
  if (cursor_ < 0 || static_cast<std::size_t>(cursor_) >= records_.size()) throw CVNXException(ErrorCode::NoMoreErrors);
  return records_[static_cast<std::size_t>(cursor_)];
}

HRESULT CVNXScan::get_NoOfWarnings(LONG* count) {
  return ErrorsGuard::Get(count, [&] { return warningCount_; });
}
HRESULT CVNXScan::get_NoOfErrors(LONG* count) {
  return ErrorsGuard::Get(count, [&] { return errorCount_; });
}
HRESULT CVNXScan::get_MaxErrors(LONG* count) {
  return ErrorsGuard::Get(count, [&] { return maxErrors_; });
}
HRESULT CVNXScan::put_MaxErrors(LONG count) {
  return ErrorsGuard::Do([&] {
    if (count < 1) throw CVNXException(ErrorCode::InvalidData);
    maxErrors_ = count;
  });
}
HRESULT CVNXScan::get_MaxWarnings(LONG* count) {
  return ErrorsGuard::Get(count, [&] { return maxWarnings_; });
}
HRESULT CVNXScan::put_MaxWarnings(LONG count) {
  return ErrorsGuard::Do([&] {
    if (count < 1) throw CVNXException(ErrorCode::InvalidData);
    maxWarnings_ = count;
  });
}
HRESULT CVNXScan::GoFirst() {
  return ErrorsGuard::Do([&] { cursor_ = 0; });
}
HRESULT CVNXScan::GoNext() {
  return ErrorsGuard::Do([&] {
    ++cursor_;  // stays advanced even when it fails
    if (static_cast<std::size_t>(cursor_) >= records_.size()) throw CVNXException(ErrorCode::NoMoreErrors);
  });
}
HRESULT CVNXScan::get_Description(BSTR* text) {
  return ErrorsGuard::Get(text, [&] { return AllocBstr(Current().description); });
}
HRESULT CVNXScan::get_Code(LONG* code) {
  return ErrorsGuard::Get(code, [&] { return Current().code; });
}
HRESULT CVNXScan::get_Line(LONG* line) {
  return ErrorsGuard::Get(line, [&] { return Current().line; });
}
HRESULT CVNXScan::get_Column(LONG* column) {
  return ErrorsGuard::Get(column, [&] { return Current().column; });
}
HRESULT CVNXScan::get_IsWarning(LONG* isWarning) {
  return ErrorsGuard::Get(isWarning, [&] { return Current().code >= 100 ? 1 : 0; });
}

}  // namespace velkor::engine
