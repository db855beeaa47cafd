#pragma once
// Moves bytes between pseudo-terminals and line models: one thread polls every
// port. With pacing on, every character takes its line time to come in and to
// go out.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/frontend/paced_line.h"
#include "sim/frontend/pseudo_terminal.h"
#include "sim/frontend/serve_thread.h"

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

  // Every byte the host has written to a port so far, as its line recorded
  // it: taken once the line has read all of them (for at most two seconds),
  // so that nothing still on its way is missed.
  std::string TakeHostBytes(std::size_t port);

  // Runs `use` on a port's line while the server leaves it alone.
  template <class Use>
  auto WithLine(std::size_t port, Use&& use) {
    Port& served = *ports_.at(port);
    std::lock_guard lock(served.mutex);
    return use(served.paced.Model());
  }

 private:
  struct Port {
    Port(PseudoTerminal terminal, std::unique_ptr<Line> line, bool pace)
        : terminal(std::move(terminal)), paced(std::move(line), pace) {}
    PseudoTerminal terminal;
    PacedLine paced;
    std::mutex mutex;
  };

  void Run();
  void ReadFrom(Port& port, std::chrono::steady_clock::time_point now);
  void Serve(Port& port, std::chrono::steady_clock::time_point now);
  void WriteTo(Port& port, std::chrono::steady_clock::time_point now);
  SimTime SimNow(std::chrono::steady_clock::time_point now) const { return clock_ ? clock_() : now - start_; }

  std::vector<std::unique_ptr<Port>> ports_;
  ServeThread thread_;
  std::chrono::steady_clock::time_point start_;
  std::function<SimTime()> clock_;
};

}  // namespace velkor::sim
