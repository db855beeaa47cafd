#pragma once
// Moves bytes between pseudo-terminals and line models: one thread polls every
// port. With pacing on, every character takes its line time (10 bits) to come
// in and to go out, so that a benchmark sees the line's own limit.

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/lines/line.h"
#include "sim/frontend/pseudo_terminal.h"

namespace velkor::sim {

class PortServer {
 public:
  PortServer();
  ~PortServer();
  PortServer(const PortServer&) = delete;
  PortServer& operator=(const PortServer&) = delete;

  // Before Start. Nothing and a reason in `error` when no pseudo-terminal is to
  // be had; otherwise the port's index.
  std::optional<std::size_t> AddPort(std::unique_ptr<Line> line, bool pace, std::string& error);
  // Before Start: where the motors' time comes from instead of the real
  // elapsed time, so that a test can step trajectories exactly. Pacing still
  // runs on real time; slow answers fall due at the port's next traffic after
  // the clock has passed them.
  void UseClock(std::function<SimTime()> clock) { clock_ = std::move(clock); }
  bool Start(std::string& error);
  void Stop();  // idempotent; joins the thread

  std::size_t PortCount() const { return ports_.size(); }
  const std::string& DevicePath(std::size_t port) const { return ports_.at(port)->terminal.DevicePath(); }

  // Runs `use` on a port's line while the server leaves it alone.
  template <class Use>
  auto WithLine(std::size_t port, Use&& use) {
    Port& served = *ports_.at(port);
    std::lock_guard lock(served.mutex);
    return use(*served.line);
  }

 private:
  struct Timed {
    std::uint8_t byte;
    std::chrono::steady_clock::time_point due;
  };
  struct Port {
    PseudoTerminal terminal;
    std::unique_ptr<Line> line;
    bool pace = false;
    std::mutex mutex;
    LineFormat format;
    std::deque<Timed> incoming;  // paced bytes not yet on the line
    std::deque<Timed> outgoing;  // bytes for the host not yet written
    std::chrono::steady_clock::time_point last_in{}, last_out{};
  };

  void Run();
  void ReadFrom(Port& port, std::chrono::steady_clock::time_point now);
  void Serve(Port& port, std::chrono::steady_clock::time_point now);
  void WriteTo(Port& port, std::chrono::steady_clock::time_point now);
  std::optional<std::chrono::steady_clock::time_point> NextWake(Port& port, std::chrono::steady_clock::time_point now) const;
  SimTime SimNow(std::chrono::steady_clock::time_point now) const { return clock_ ? clock_() : now - start_; }
  std::chrono::nanoseconds CharTime(const Port& port) const;

  std::vector<std::unique_ptr<Port>> ports_;
  FileDescriptor wake_;  // eventfd that ends the poll when Stop is called
  std::atomic<bool> stopping_{false};
  std::thread thread_;
  std::chrono::steady_clock::time_point start_;
  std::function<SimTime()> clock_;
};

}  // namespace velkor::sim
