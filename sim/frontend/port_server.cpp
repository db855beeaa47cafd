#include "sim/frontend/port_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace velkor::sim {
namespace {

// Bytes the host has not read yet are kept up to this much; beyond it the
// oldest go, as a real port's buffer would overflow.
constexpr std::size_t kOutgoingLimit = 64 * 1024;

}  // namespace

PortServer::PortServer() : wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), start_(std::chrono::steady_clock::now()) {}

PortServer::~PortServer() { Stop(); }

std::optional<std::size_t> PortServer::AddPort(std::unique_ptr<Line> line, bool pace, std::string& error) {
  if (thread_.joinable()) {
    error = "ports must be added before the server starts";
    return std::nullopt;
  }
  auto terminal = PseudoTerminal::Open(error);
  if (!terminal) return std::nullopt;
  auto port = std::make_unique<Port>();
  port->terminal = std::move(*terminal);
  port->line = std::move(line);
  port->pace = pace;
  ports_.push_back(std::move(port));
  return ports_.size() - 1;
}

bool PortServer::Start(std::string& error) {
  if (!wake_.Valid()) {
    error = std::string("cannot create the wake-up event: ") + std::strerror(errno);
    return false;
  }
  if (thread_.joinable()) return true;
  stopping_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void PortServer::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  std::uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(wake_.Get(), &one, sizeof one);
  thread_.join();
}

std::chrono::nanoseconds PortServer::CharTime(const Port& port) const {
  int baud = port.format.baud > 0 ? port.format.baud : 9600;
  return std::chrono::nanoseconds(10'000'000'000LL / baud);
}

void PortServer::Run() {
  std::vector<pollfd> fds;
  while (!stopping_) {
    auto now = std::chrono::steady_clock::now();
    fds.clear();
    std::optional<std::chrono::steady_clock::time_point> wake;
    for (auto& port : ports_) {
      short events = POLLIN;
      {
        std::lock_guard lock(port->mutex);
        Serve(*port, now);
        if (!port->outgoing.empty() && port->outgoing.front().due <= now) events |= POLLOUT;
        if (auto next = NextWake(*port, now); next && (!wake || *next < *wake)) wake = next;
      }
      fds.push_back(pollfd{port->terminal.Master(), events, 0});
      fds.push_back(pollfd{port->terminal.CloseWatch(), POLLIN, 0});
    }
    fds.push_back(pollfd{wake_.Get(), POLLIN, 0});
    // Pacing needs better than the millisecond of poll's time-out.
    timespec timeout{1, 0};
    if (wake) {
      auto wait = std::clamp<std::chrono::nanoseconds>(*wake - now, std::chrono::nanoseconds(0), std::chrono::seconds(1));
      timeout.tv_sec = static_cast<time_t>(wait.count() / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(wait.count() % 1'000'000'000);
    }
    if (::ppoll(fds.data(), fds.size(), wake ? &timeout : nullptr, nullptr) < 0 && errno != EINTR) return;
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

void PortServer::ReadFrom(Port& port, std::chrono::steady_clock::time_point now) {
  if (auto format = port.terminal.CurrentFormat()) port.format = *format;
  std::array<std::uint8_t, 4096> buffer;
  ssize_t count = ::read(port.terminal.Master(), buffer.data(), buffer.size());
  if (count <= 0) return;
  for (ssize_t i = 0; i < count; ++i) {
    auto due = now;
    if (port.pace) {
      // A character is on the line for its whole time before the motor has it.
      due = std::max(now, port.last_in) + CharTime(port);
      port.last_in = due;
    }
    port.incoming.push_back(Timed{buffer[static_cast<std::size_t>(i)], due});
  }
}

void PortServer::Serve(Port& port, std::chrono::steady_clock::time_point now) {
  // What the motors send starts when they have heard the byte that caused it,
  // so paced output is timed from the byte's own arrival, not from when this
  // thread happened to wake.
  auto send = [&](const std::vector<std::uint8_t>& toHost, std::chrono::steady_clock::time_point from) {
    for (std::uint8_t byte : toHost) {
      auto due = now;
      if (port.pace) {
        due = std::max(from, port.last_out) + CharTime(port);
        port.last_out = due;
      }
      port.outgoing.push_back(Timed{byte, due});
    }
  };
  std::vector<std::uint8_t> toHost;
  while (!port.incoming.empty() && port.incoming.front().due <= now) {
    // Bytes that arrived together go to the line together.
    std::vector<std::uint8_t> bytes;
    auto due = port.incoming.front().due;
    while (!port.incoming.empty() && port.incoming.front().due == due) {
      bytes.push_back(port.incoming.front().byte);
      port.incoming.pop_front();
    }
    toHost.clear();
    port.line->FromHost(bytes, port.format, SimNow(port.pace ? due : now), toHost);
    send(toHost, due);
  }
  toHost.clear();
  port.line->Advance(port.format, SimNow(now), toHost);
  send(toHost, now);
  while (port.outgoing.size() > kOutgoingLimit) port.outgoing.pop_front();
}

void PortServer::WriteTo(Port& port, std::chrono::steady_clock::time_point now) {
  std::vector<std::uint8_t> ready;
  for (const Timed& timed : port.outgoing) {
    if (timed.due > now) break;
    ready.push_back(timed.byte);
  }
  if (ready.empty()) return;
  ssize_t written = ::write(port.terminal.Master(), ready.data(), ready.size());
  if (written <= 0) return;  // the host's buffer is full: try again later
  port.outgoing.erase(port.outgoing.begin(), port.outgoing.begin() + written);
}

std::optional<std::chrono::steady_clock::time_point> PortServer::NextWake(Port& port, std::chrono::steady_clock::time_point now) const {
  std::optional<std::chrono::steady_clock::time_point> next;
  auto consider = [&](std::chrono::steady_clock::time_point t) {
    if (!next || t < *next) next = t;
  };
  if (!port.incoming.empty()) consider(port.incoming.front().due);
  // Output already due waits for POLLOUT, not for a time-out.
  if (!port.outgoing.empty() && port.outgoing.front().due > now) consider(port.outgoing.front().due);
  if (auto due = port.line->NextDue(); due && !clock_) consider(start_ + *due);
  return next;
}

}  // namespace velkor::sim
