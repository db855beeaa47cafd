#pragma once
// Notification windows: a client registers a procedure and gets a handle; the
// engine sends messages to that handle and the procedure runs synchronously
// on the sending thread, as a window message sent on the platform would.
//
// One table for the whole process lives in the shared library vnxwindow, so
// that the engine and its client see the same windows. The table is thread
// safe, and no lock is held while a procedure runs: a procedure may send
// further messages and destroy windows, its own included. Messages to an
// unknown or destroyed window return 0. Handles are small positive numbers
// that are not handed out again until the counter has gone round.

#include <stdint.h>

#if defined(__GNUC__)
#define VNX_WINDOW_API __attribute__((visibility("default")))
#else
#define VNX_WINDOW_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t VNX_HWND;  // 0 = no window; handles fit in 32 bits (passed as `long`)
typedef intptr_t VNX_LRESULT;
typedef uintptr_t VNX_WPARAM;
typedef intptr_t VNX_LPARAM;
typedef VNX_LRESULT (*VNX_WNDPROC)(void* context, VNX_HWND window, uint32_t message, VNX_WPARAM wParam,
                                   VNX_LPARAM lParam);

// 0 when `procedure` is null or no handle is left.
VNX_WINDOW_API VNX_HWND VnxCreateWindow(VNX_WNDPROC procedure, void* context);

// 1 when the window was destroyed, 0 when the handle is unknown. Returns once
// no other thread is still inside the window's procedure, so that the
// caller may free the context; calls on the destroying thread itself (a
// procedure destroying its own window) are not waited for. Two procedures
// running on two threads must therefore not destroy each other's windows.
VNX_WINDOW_API int VnxDestroyWindow(VNX_HWND window);

VNX_WINDOW_API int VnxIsWindow(VNX_HWND window);

VNX_WINDOW_API VNX_LRESULT VnxSendMessage(VNX_HWND window, uint32_t message, VNX_WPARAM wParam, VNX_LPARAM lParam);

#ifdef __cplusplus
}  // extern "C"

#include <functional>
#include <memory>
#include <utility>

namespace velkor {

// A window whose procedure is a std::function, destroyed with the object.
// The procedure must not destroy its own NotificationWindow object (it may
// destroy the window through VnxDestroyWindow(Handle()) instead).
class NotificationWindow {
 public:
  using Procedure = std::function<VNX_LRESULT(uint32_t message, VNX_WPARAM wParam, VNX_LPARAM lParam)>;

  explicit NotificationWindow(Procedure procedure)
      : procedure_(std::make_unique<Procedure>(std::move(procedure))),
        handle_(*procedure_ ? VnxCreateWindow(&Deliver, procedure_.get()) : 0) {}
  ~NotificationWindow() { Destroy(); }

  NotificationWindow(NotificationWindow&& other) noexcept
      : procedure_(std::move(other.procedure_)), handle_(std::exchange(other.handle_, 0)) {}
  NotificationWindow& operator=(NotificationWindow&& other) noexcept {
    if (this != &other) {
      Destroy();
      procedure_ = std::move(other.procedure_);
      handle_ = std::exchange(other.handle_, 0);
    }
    return *this;
  }
  NotificationWindow(const NotificationWindow&) = delete;
  NotificationWindow& operator=(const NotificationWindow&) = delete;

  VNX_HWND Handle() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }

  VNX_LRESULT Send(uint32_t message, VNX_WPARAM wParam, VNX_LPARAM lParam) const {
    return VnxSendMessage(handle_, message, wParam, lParam);
  }

 private:
  // A procedure that throws answers 0: an exception must not travel back
  // through the sender, which may be C code.
  static VNX_LRESULT Deliver(void* context, VNX_HWND, uint32_t message, VNX_WPARAM wParam, VNX_LPARAM lParam) {
    try {
      return (*static_cast<Procedure*>(context))(message, wParam, lParam);
    } catch (...) {
      return 0;
    }
  }
  void Destroy() {
    if (handle_ != 0) VnxDestroyWindow(std::exchange(handle_, 0));
  }

  std::unique_ptr<Procedure> procedure_;  // on the heap: its address is the window's context
  VNX_HWND handle_;
};

}  // namespace velkor
#endif
