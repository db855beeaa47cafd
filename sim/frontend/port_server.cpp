#include "sim/frontend/port_server.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <thread>

namespace velkor::sim {

PortServer::PortServer() : start_(std::chrono::steady_clock::now()) {}

PortServer::~PortServer() { Stop(); }

std::optional<std::size_t> PortServer::AddPort(std::unique_ptr<Line> line, bool pace, std::string& error) {
  if (thread_.Running()) {
    error = "ports must be added before the server starts";
    return std::nullopt;
  }
  auto terminal = PseudoTerminal::Open(error);
  if (!terminal) return std::nullopt;
  ports_.push_back(std::make_unique<Port>(std::move(*terminal), std::move(line), pace));
  return ports_.size() - 1;
}

bool PortServer::Start(std::string& error) { return thread_.Start([this] { Run(); }, error); }

void PortServer::Stop() { thread_.Stop(); }

void PortServer::Run() {
  std::vector<pollfd> fds;
  while (!thread_.Stopping()) {
    auto now = std::chrono::steady_clock::now();
    fds.clear();
    std::optional<std::chrono::steady_clock::time_point> wake;
    for (auto& port : ports_) {
      short events = POLLIN;
      {
        std::lock_guard lock(port->mutex);
        Serve(*port, now);
        if (port->paced.HasDueForHost(now)) events |= POLLOUT;
        auto lineStart = clock_ ? std::nullopt : std::optional(start_);
        if (auto next = port->paced.NextWake(now, lineStart); next && (!wake || *next < *wake)) wake = next;
      }
      fds.push_back(pollfd{port->terminal.Master(), events, 0});
      fds.push_back(pollfd{port->terminal.CloseWatch(), POLLIN, 0});
    }
    fds.push_back(thread_.WakeEvent());
    std::optional<std::chrono::nanoseconds> wait;
    if (wake) wait = *wake - now;
    if (PollFor(fds, wait) < 0 && errno != EINTR) return;
    now = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < ports_.size(); ++i) {
      Port& port = *ports_[i];
      std::lock_guard lock(port.mutex);
      if (fds[2 * i].revents & POLLIN) ReadFrom(port, now);
      if (fds[2 * i + 1].revents & POLLIN) port.terminal.AfterHostClosed();
      Serve(port, now);
      WriteTo(port, now);
    }
  }
}

std::string PortServer::TakeHostBytes(std::size_t place) {
  Port& port = *ports_.at(place);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    {
      std::lock_guard lock(port.mutex);
      int unread = 0;
      const bool known = ::ioctl(port.terminal.Master(), FIONREAD, &unread) == 0;
      if ((known && unread == 0 && !port.paced.HasIncoming()) || std::chrono::steady_clock::now() >= deadline)
        return port.paced.Model().TakeHostBytes();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void PortServer::ReadFrom(Port& port, std::chrono::steady_clock::time_point now) {
  if (auto format = port.terminal.CurrentFormat()) port.paced.format = *format;
  std::array<std::uint8_t, 4096> buffer;
  ssize_t count = ::read(port.terminal.Master(), buffer.data(), buffer.size());
  if (count <= 0) return;
  port.paced.FromHost(std::span(buffer.data(), static_cast<std::size_t>(count)), now);
}

void PortServer::Serve(Port& port, std::chrono::steady_clock::time_point now) {
  port.paced.Serve(now, [this](std::chrono::steady_clock::time_point at) { return SimNow(at); });
}

void PortServer::WriteTo(Port& port, std::chrono::steady_clock::time_point now) {
  std::vector<std::uint8_t> ready = port.paced.DueForHost(now);
  if (ready.empty()) return;
  ssize_t written = ::write(port.terminal.Master(), ready.data(), ready.size());
  if (written <= 0) return;  // the host's buffer is full: try again later
  port.paced.Written(static_cast<std::size_t>(written));
}

}  // namespace velkor::sim
