#pragma once
// A Python callable as the engine's notification window: the engine sends
// its progress messages synchronously, and the callable gets the code and
// the number of each; its result 0 (or False) cancels, anything else
// (None included) lets the operation go on. An exception raised by the
// callable cancels too and is raised again from the engine call it
// interrupted.

#include <pybind11/pybind11.h>

#include <optional>

#include "velkor/window.h"

namespace velkor::python {

namespace py = pybind11;

class NotificationCallback {
 public:
  explicit NotificationCallback(py::function callback);
  ~NotificationCallback();
  NotificationCallback(const NotificationCallback&) = delete;
  NotificationCallback& operator=(const NotificationCallback&) = delete;

  VNX_HWND Handle() const { return window_ ? window_->Handle() : 0; }
  const py::function& Callback() const { return callback_; }

 private:
  VNX_LRESULT Deliver(VNX_WPARAM code, VNX_LPARAM number);

  py::function callback_;
  std::optional<NotificationWindow> window_;
};

// The exception a callback raised on this thread, kept until the engine call
// returns.
void DiscardCallbackError();
void RaiseCallbackError();

}  // namespace velkor::python
