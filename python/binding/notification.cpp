#include "python/binding/notification.h"

#include <utility>

namespace velkor::python {

namespace {
thread_local std::optional<py::error_already_set> pendingError;
}  // namespace

void DiscardCallbackError() { pendingError.reset(); }

void RaiseCallbackError() {
  if (!pendingError) return;
  py::error_already_set error = std::move(*pendingError);
  pendingError.reset();
  throw error;
}

NotificationCallback::NotificationCallback(py::function callback) : callback_(std::move(callback)) {
  window_.emplace([this](uint32_t, VNX_WPARAM code, VNX_LPARAM number) { return Deliver(code, number); });
  if (!*window_) throw py::value_error("no notification window is left");
}

NotificationCallback::~NotificationCallback() {
  // Destroying the window waits for a procedure running on another thread,
  // which may be waiting for the interpreter lock.
  py::gil_scoped_release unlocked;
  window_.reset();
}

VNX_LRESULT NotificationCallback::Deliver(VNX_WPARAM code, VNX_LPARAM number) {
  py::gil_scoped_acquire locked;
  if (pendingError) return 0;  // an earlier callback failed: keep cancelling
  try {
    const py::object answer = callback_(static_cast<long long>(code), static_cast<long long>(number));
    if (answer.is_none()) return 1;
    return py::cast<VNX_LRESULT>(py::int_(answer));
  } catch (py::error_already_set& error) {
    pendingError.emplace(std::move(error));
  } catch (const std::exception& error) {
    PyErr_SetString(PyExc_RuntimeError, error.what());
    pendingError.emplace();
  }
  return 0;
}

}  // namespace velkor::python
