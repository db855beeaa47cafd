// Error information objects and the per-thread slot that carries them from a
// failing method to its caller.

#include <atomic>
#include <memory>

#include "velkor/bstr.h"
#include "velkor/com_ptr.h"
#include "velkor/unknown.h"

namespace {

class ErrorInfo final : public IErrorInfo, public ICreateErrorInfo {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IErrorInfo) {
      *object = static_cast<IErrorInfo*>(this);
    } else if (iid == IID_ICreateErrorInfo) {
      *object = static_cast<ICreateErrorInfo*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;  // the last reference owns the object
    return left;
  }

  HRESULT GetGUID(GUID* guid) override {
    if (!guid) return E_POINTER;
    *guid = guid_;
    return S_OK;
  }
  HRESULT GetSource(BSTR* text) override { return Copy(source_, text); }
  HRESULT GetDescription(BSTR* text) override { return Copy(description_, text); }
  HRESULT GetHelpFile(BSTR* text) override { return Copy(helpFile_, text); }
  HRESULT GetHelpContext(DWORD* context) override {
    if (!context) return E_POINTER;
    *context = helpContext_;
    return S_OK;
  }

  HRESULT SetGUID(REFGUID guid) override {
    guid_ = guid;
    return S_OK;
  }
  HRESULT SetSource(LPOLESTR text) override { return Assign(source_, text); }
  HRESULT SetDescription(LPOLESTR text) override { return Assign(description_, text); }
  HRESULT SetHelpFile(LPOLESTR text) override { return Assign(helpFile_, text); }
  HRESULT SetHelpContext(DWORD context) override {
    helpContext_ = context;
    return S_OK;
  }

 private:
  ~ErrorInfo() = default;

  static HRESULT Copy(const velkor::Bstr& from, BSTR* to) {
    if (!to) return E_POINTER;
    *to = velkor::Bstr(from).Detach();
    return S_OK;
  }
  static HRESULT Assign(velkor::Bstr& to, LPOLESTR text) {
    to = text ? velkor::Bstr(std::u16string_view(text)) : velkor::Bstr();
    return S_OK;
  }

  std::atomic<ULONG> references_{1};
  GUID guid_ = GUID_NULL;
  velkor::Bstr source_;
  velkor::Bstr description_;
  velkor::Bstr helpFile_;
  DWORD helpContext_ = 0;
};

thread_local velkor::ComPtr<IErrorInfo> threadErrorInfo;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** creator) {
  if (!creator) return E_POINTER;
  auto* info = new (std::nothrow) ErrorInfo();
  if (!info) {
    *creator = nullptr;
    return E_OUTOFMEMORY;
  }
  *creator = info;
  return S_OK;
}

HRESULT SetErrorInfo(ULONG, IErrorInfo* info) {
  if (info) info->AddRef();
  threadErrorInfo = velkor::ComPtr<IErrorInfo>::Attach(info);
  return S_OK;
}

HRESULT GetErrorInfo(ULONG, IErrorInfo** info) {
  if (!info) return E_POINTER;
  *info = threadErrorInfo.Detach();
  return *info ? S_OK : S_FALSE;
}
