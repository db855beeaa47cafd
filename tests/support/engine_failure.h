#pragma once
// What a failed engine call left for the client: the error information of
// the calling thread.

#include <string>

#include "velkor/automation.h"

namespace velkor::testing {

struct EngineFailure {
  std::string description;
  std::string source;
  std::string helpFile;
  DWORD helpContext = 0;  // (parameter << 16) | engine error code
  GUID iid{};
  bool present = false;
};

// Takes the thread's error information (it is gone afterwards).
inline EngineFailure TakeFailure() {
  EngineFailure failure;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Out()) != S_OK || !info) return failure;
  failure.present = true;
  Bstr text;
  info->GetDescription(text.Out());
  failure.description = text.Utf8();
  info->GetSource(text.Out());
  failure.source = text.Utf8();
  info->GetHelpFile(text.Out());
  failure.helpFile = text.Utf8();
  info->GetHelpContext(&failure.helpContext);
  info->GetGUID(&failure.iid);
  return failure;
}

}  // namespace velkor::testing
