#pragma once
// The class factory of a creatable class.

#include <mutex>
#include <new>

#include "engine/core/module.h"
#include "engine/core/reference_count.h"
#include "velkor/unknown.h"

namespace velkor::engine {

template <class Object>
class ClassFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return references_.Increment(); }
  ULONG Release() override { return references_.Decrement(this); }

  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    std::lock_guard lock(guard_);
    Object* created = nullptr;
    try {
      created = MakeObject<Object>();
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    if (!created) return E_OUTOFMEMORY;
    HRESULT status = created->QueryInterface(iid, object);
    created->Release();  // the caller's reference, if any, keeps it
    return status;
  }
  HRESULT LockServer(BOOL lock) override {
    if (lock) module::AddReference();
    else module::RemoveReference();
    return S_OK;
  }

 private:
  friend class ReferenceCount<ClassFactory>;
  ~ClassFactory() = default;
  ReferenceCount<ClassFactory> references_;
  std::mutex guard_;
};

}  // namespace velkor::engine
