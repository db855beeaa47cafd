#include "engine/core/guard.h"

#include <string>

#include "engine/core/log.h"
#include "velkor/bstr.h"
#include "velkor/com_ptr.h"
#include "velkor/interfaces.h"
#include "velkor/unknown.h"

namespace velkor::engine {

namespace {
constexpr char16_t kHelpFile[] = u"Velkor.chm";
constexpr char16_t kSource[] = u"No Source";

HRESULT InstallErrorInfo(REFIID iid, std::string_view description, DWORD helpContext) {
  ComPtr<ICreateErrorInfo> creator;
  HRESULT status = CreateErrorInfo(creator.Out());
  if (FAILED(status)) return status;
  std::u16string text = Utf8ToUtf16(description);
  std::u16string helpFile(kHelpFile);
  std::u16string source(kSource);
  creator->SetDescription(text.data());
  creator->SetGUID(iid);
  creator->SetHelpContext(helpContext);
  creator->SetHelpFile(helpFile.data());
  creator->SetSource(source.data());
  ComPtr<IErrorInfo> info;
  status = creator.As(IID_IErrorInfo, info);
  if (FAILED(status)) return status;
  SetErrorInfo(0, info.get());
  return S_OK;
}
}  // namespace

std::uint32_t LogCategoryOf(REFIID iid) {
  if (iid == IID_IVNXComm) return log::kComm;
  if (iid == IID_IVNXCMotion) return log::kCMotion;
  if (iid == IID_IVNXPath) return log::kPath;
  if (iid == IID_IVNXScan || iid == IID_IVNXErrors) return log::kScan;
  if (iid == IID_IVNXMotor) return log::kMotor;
  return 0;
}

HRESULT ReportException(const CVNXException& exception, REFIID iid) {
  // Logged before the error information is built, so that the line is there
  // even when building it fails. The message's own line end leaves an empty
  // line after the entry.
  if (std::uint32_t category = LogCategoryOf(iid)) log::Write(category, "****** Exception:" + exception.Message() + "\n");
  const DWORD helpContext = ((exception.Param() & 0xFFFF) << 16) | (exception.Code() & 0xFFFF);
  return InstallErrorInfo(iid, exception.Message(), helpContext);
}

HRESULT NotImplemented(REFIID iid, std::string_view interfaceName, std::string_view memberName) {
  std::string description = std::string(interfaceName) + "::" + std::string(memberName) +
                            " is not implemented in this version of the engine.";
  InstallErrorInfo(iid, description, 0);
  return E_NOTIMPL;
}

}  // namespace velkor::engine
