#include "engine/compiler/scan_object.h"

#include <limits>

#include "engine/compiler/source_file.h"
#include "velkor/bstr.h"

namespace velkor::engine {
namespace {
using ScanGuard = InterfaceGuard<IID_IVNXScan>;
using ErrorsGuard = InterfaceGuard<IID_IVNXErrors>;

std::filesystem::path RequiredPath(BSTR name) {
  if (!name) throw CVNXException(ErrorCode::InvalidData);
  return std::filesystem::path(BstrToUtf8(name));
}
}  // namespace

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

HRESULT CVNXScan::Scan(BSTR program) {
  return ScanGuard::Do([&] {
    if (!program) return;  // nothing to compile, and the last results stay
    cursor_ = 0;
    compiler_.Compile(BstrToUtf8(program));
  });
}

HRESULT CVNXScan::ScanFile(BSTR fileName) {
  return ScanGuard::Do([&] {
    const std::filesystem::path source = RequiredPath(fileName);
    cursor_ = 0;
    compiler_.CompileFile(source);
  });
}

LONG CVNXScan::MakeImage(BSTR fileName, BSTR imageFileName) {
  const std::filesystem::path source = RequiredPath(fileName);
  const std::filesystem::path image = imageFileName ? RequiredPath(imageFileName) : compiler::ImageNameFor(source);
  cursor_ = 0;
  return compiler_.MakeImage(source, image) ? 1 : 0;
}

HRESULT CVNXScan::MakeVQX(BSTR fileName, LONG* written) {
  return ScanGuard::Get(written, [&] { return MakeImage(fileName, nullptr); });
}

HRESULT CVNXScan::MakeVQX2(BSTR fileName, BSTR imageFileName, LONG* written) {
  return ScanGuard::Get(written, [&] {
    if (!imageFileName) throw CVNXException(ErrorCode::InvalidData);
    return MakeImage(fileName, imageFileName);
  });
}

const compiler::Diagnostic& CVNXScan::Current() const {
  const auto& records = compiler_.Errors().Records();
  if (cursor_ < 0 || static_cast<std::size_t>(cursor_) >= records.size()) throw CVNXException(ErrorCode::NoMoreErrors);
  return records[static_cast<std::size_t>(cursor_)];
}

HRESULT CVNXScan::get_NoOfWarnings(LONG* count) {
  return ErrorsGuard::Get(count, [&] { return compiler_.Errors().WarningCount(); });
}
HRESULT CVNXScan::get_NoOfErrors(LONG* count) {
  return ErrorsGuard::Get(count, [&] { return compiler_.Errors().ErrorCount(); });
}
HRESULT CVNXScan::get_MaxErrors(LONG* count) {
  return ErrorsGuard::Get(count, [&] { return compiler_.MaxErrors(); });
}
HRESULT CVNXScan::put_MaxErrors(LONG count) {
  return ErrorsGuard::Do([&] { compiler_.SetMaxErrors(count); });
}
HRESULT CVNXScan::get_MaxWarnings(LONG* count) {
  return ErrorsGuard::Get(count, [&] { return compiler_.MaxWarnings(); });
}
HRESULT CVNXScan::put_MaxWarnings(LONG count) {
  return ErrorsGuard::Do([&] { compiler_.SetMaxWarnings(count); });
}
HRESULT CVNXScan::GoFirst() {
  return ErrorsGuard::Do([&] { cursor_ = 0; });
}
HRESULT CVNXScan::GoNext() {
  return ErrorsGuard::Do([&] {
    if (cursor_ < std::numeric_limits<LONG>::max()) ++cursor_;  // stays advanced even when it fails
    if (static_cast<std::size_t>(cursor_) >= compiler_.Errors().Records().size()) {
      throw CVNXException(ErrorCode::NoMoreErrors);
    }
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
  return ErrorsGuard::Get(isWarning, [&] { return Current().IsWarning() ? 1 : 0; });
}

}  // namespace velkor::engine
