#pragma once
// The one thread a simulator server polls its descriptors on, with the event
// that wakes its poll when it is to stop.

#include <poll.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/frontend/pseudo_terminal.h"

namespace velkor::sim {

class ServeThread {
 public:
  ServeThread();
  ~ServeThread() { Stop(); }
  ServeThread(const ServeThread&) = delete;
  ServeThread& operator=(const ServeThread&) = delete;

  // Runs `serve` until Stop; true when it runs already.
  bool Start(std::function<void()> serve, std::string& error);
  // Idempotent; joins the thread. A server calls it before its own members
  // go, since `serve` uses them.
  void Stop();
  bool Running() const { return thread_.joinable(); }
  bool Stopping() const { return stopping_; }
  // To poll with the server's own descriptors.
  pollfd WakeEvent() const { return pollfd{wake_.Get(), POLLIN, 0}; }

 private:
  FileDescriptor wake_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// poll with a time-out finer than poll's millisecond, as pacing needs; none
// waits without limit. The result is ppoll's.
int PollFor(std::vector<pollfd>& descriptors, std::optional<std::chrono::nanoseconds> wait);

}  // namespace velkor::sim
