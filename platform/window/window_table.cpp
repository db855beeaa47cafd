// The process's window table behind the C entry points of velkor/window.h.

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "velkor/window.h"

namespace {

struct Window {
  VNX_WNDPROC procedure;
  void* context;
  std::vector<std::thread::id> running;  // one entry per call now inside the procedure
};

class WindowTable {
 public:
  VNX_HWND Create(VNX_WNDPROC procedure, void* context) {
    std::lock_guard lock(mutex_);
    if (windows_.size() >= static_cast<std::size_t>(kLastHandle)) return 0;
    do {
      last_ = last_ == kLastHandle ? 1 : last_ + 1;
    } while (windows_.count(last_) != 0);
    windows_.emplace(last_, std::make_shared<Window>(Window{procedure, context, {}}));
    return last_;
  }

  int Destroy(VNX_HWND handle) {
    std::unique_lock lock(mutex_);
    auto found = windows_.find(handle);
    if (found == windows_.end()) return 0;
    const std::shared_ptr<Window> window = found->second;
    windows_.erase(found);
    // Once this returns the caller may free the context, so calls on other
    // threads must be over. Calls further up this thread's own stack cannot
    // be waited for: they are what called us.
    const auto self = std::this_thread::get_id();
    callEnded_.wait(lock, [&] {
      return std::all_of(window->running.begin(), window->running.end(),
                         [&](std::thread::id caller) { return caller == self; });
    });
    return 1;
  }

  bool Contains(VNX_HWND handle) {
    std::lock_guard lock(mutex_);
    return windows_.count(handle) != 0;
  }

  VNX_LRESULT Send(VNX_HWND handle, uint32_t message, VNX_WPARAM wParam, VNX_LPARAM lParam) {
    std::shared_ptr<Window> window;
    {
      std::lock_guard lock(mutex_);
      auto found = windows_.find(handle);
      if (found == windows_.end()) return 0;
      window = found->second;
      window->running.push_back(std::this_thread::get_id());
    }
    CallRecord record(*this, *window);
    return window->procedure(window->context, handle, message, wParam, lParam);
  }

 private:
  static constexpr VNX_HWND kLastHandle = std::numeric_limits<VNX_HWND>::max();

  // Takes the call off the window's list however the procedure returns.
  class CallRecord {
   public:
    CallRecord(WindowTable& table, Window& window) : table_(table), window_(window) {}
    ~CallRecord() {
      std::lock_guard lock(table_.mutex_);
      auto& running = window_.running;
      running.erase(std::find(running.begin(), running.end(), std::this_thread::get_id()));
      table_.callEnded_.notify_all();
    }
    CallRecord(const CallRecord&) = delete;
    CallRecord& operator=(const CallRecord&) = delete;

   private:
    WindowTable& table_;
    Window& window_;
  };

  std::mutex mutex_;
  std::condition_variable callEnded_;
  std::unordered_map<VNX_HWND, std::shared_ptr<Window>> windows_;
  VNX_HWND last_ = 0;
};

WindowTable& Table() {
  static WindowTable table;
  return table;
}

}  // namespace

extern "C" {

VNX_HWND VnxCreateWindow(VNX_WNDPROC procedure, void* context) {
  if (!procedure) return 0;
  try {
    return Table().Create(procedure, context);
  } catch (...) {
    return 0;
  }
}

int VnxDestroyWindow(VNX_HWND window) {
  try {
    return Table().Destroy(window);
  } catch (...) {
    return 0;
  }
}

int VnxIsWindow(VNX_HWND window) {
  try {
    return Table().Contains(window) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

// A procedure that throws answers 0, as for a window that is gone: nothing
// may unwind into the sender, which may be C code.
VNX_LRESULT VnxSendMessage(VNX_HWND window, uint32_t message, VNX_WPARAM wParam, VNX_LPARAM lParam) {
  try {
    return Table().Send(window, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
