#pragma once
// A counted reference to an interface, released on destruction.

#include <utility>

#include "velkor/unknown.h"

namespace velkor {

template <class Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ComPtr(const ComPtr& other) : pointer_(other.pointer_) {
    if (pointer_) pointer_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Takes over a reference the caller already owns.
  static ComPtr Attach(Interface* pointer) {
    ComPtr owned;
    owned.pointer_ = pointer;
    return owned;
  }
  Interface* Detach() { return std::exchange(pointer_, nullptr); }
  void Reset() {
    if (auto* p = std::exchange(pointer_, nullptr)) p->Release();
  }
  // For an [out] interface argument.
  Interface** Out() {
    Reset();
    return &pointer_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }

  template <class Other>
  HRESULT As(REFIID iid, ComPtr<Other>& other) const {
    if (!pointer_) return E_POINTER;
    return pointer_->QueryInterface(iid, other.OutVoid());
  }

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace velkor
