#include "sim/frontend/net_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace velkor::sim {
namespace {

constexpr std::size_t kReplyLength = 30;

std::string Reason(const std::string& what, const NetEndpoint& at) {
  return "cannot " + what + " " + EndpointText(at) + ": " + std::strerror(errno);
}

std::optional<sockaddr_in> SocketAddress(const NetEndpoint& at) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(at.port);
  if (::inet_pton(AF_INET, at.address.c_str(), &address.sin_addr) != 1) return std::nullopt;
  return address;
}

// A socket bound to `at`; the port the system chose is written back to `at`.
FileDescriptor BoundSocket(int type, NetEndpoint& at, std::string& error) {
  auto address = SocketAddress(at);
  if (!address) {
    error = "not an IPv4 address: " + at.address;
    return FileDescriptor();
  }
  FileDescriptor socket(::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!socket.Valid()) {
    error = Reason("create a socket for", at);
    return socket;
  }
  if (type == SOCK_STREAM) {
    // A restarted simulator gets its listeners back while old connections linger.
    int on = 1;
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  }
  if (::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
    error = Reason("bind", at);
    return FileDescriptor();
  }
  sockaddr_in bound{};
  socklen_t length = sizeof bound;
  if (::getsockname(socket.Get(), reinterpret_cast<sockaddr*>(&bound), &length) == 0) at.port = ntohs(bound.sin_port);
  return socket;
}

}  // namespace

std::vector<std::uint8_t> DiscoveryAnswer(DiscoveryReply reply, std::uint32_t serial) {
  if (reply == DiscoveryReply::None) return {};
  std::vector<std::uint8_t> answer(kReplyLength, 0);
  answer[3] = reply == DiscoveryReply::Query ? 0xF6 : 0xF7;
  // The rest as the adapters fill it, in so far as anybody reads it: a
  // firmware version, and the hardware address last, made from the serial.
  answer[4] = 6;
  answer[5] = 1;
  const std::array<std::uint8_t, 6> hardware{0x00, 0x20, 0x4A, static_cast<std::uint8_t>(serial >> 16),
                                             static_cast<std::uint8_t>(serial >> 8), static_cast<std::uint8_t>(serial)};
  std::copy(hardware.begin(), hardware.end(), answer.end() - 6);
  if (reply == DiscoveryReply::Short) answer.pop_back();
  if (reply == DiscoveryReply::Long) answer.push_back(0);
  return answer;
}

NetServer::NetServer() : start_(std::chrono::steady_clock::now()) {}

NetServer::~NetServer() { Stop(); }

std::optional<std::size_t> NetServer::AddAdapter(std::unique_ptr<Line> line, const NetEndpoint& listen,
                                                 DiscoveryReply reply, bool pace, std::string& error) {
  if (thread_.Running()) {
    error = "adapters must be added before the server starts";
    return std::nullopt;
  }
  // The adapter's serial side runs at the rate the motor powers up at; a
  // motor told to change its rate is lost to it, as behind a real adapter.
  const LineFormat serialSide{line->Motor(0).Config().baud, '?'};
  auto adapter = std::make_unique<Adapter>(std::move(line), pace);
  adapter->paced.format = serialSide;
  adapter->bound = listen;
  adapter->listener = BoundSocket(SOCK_STREAM, adapter->bound, error);
  if (!adapter->listener.Valid()) return std::nullopt;
  if (::listen(adapter->listener.Get(), 4) != 0) {
    error = Reason("listen on", adapter->bound);
    return std::nullopt;
  }
  NetEndpoint replyFrom{listen.address, 0};
  adapter->replier = BoundSocket(SOCK_DGRAM, replyFrom, error);
  if (!adapter->replier.Valid()) return std::nullopt;
  adapter->reply = reply;
  adapters_.push_back(std::move(adapter));
  return adapters_.size() - 1;
}

std::optional<std::size_t> NetServer::AddResponder(const NetEndpoint& at, std::vector<std::size_t> adapters,
                                                   std::string& error) {
  if (thread_.Running()) {
    error = "responders must be added before the server starts";
    return std::nullopt;
  }
  Responder responder;
  responder.bound = at;
  // No SO_REUSEADDR: a host on this machine that binds the same port must
  // fail loudly rather than have the replies meant for it taken from it.
  responder.socket = BoundSocket(SOCK_DGRAM, responder.bound, error);
  if (!responder.socket.Valid()) return std::nullopt;
  responder.adapters = std::move(adapters);
  responders_.push_back(std::move(responder));
  return responders_.size() - 1;
}

bool NetServer::Start(std::string& error) { return thread_.Start([this] { Run(); }, error); }

void NetServer::Stop() { thread_.Stop(); }

void NetServer::Run() {
  std::vector<pollfd> fds;
  auto simNow = [this](std::chrono::steady_clock::time_point at) { return SimNow(at); };
  while (!thread_.Stopping()) {
    auto now = std::chrono::steady_clock::now();
    fds.clear();
    std::optional<std::chrono::steady_clock::time_point> wake;
    for (auto& adapter : adapters_) {
      std::lock_guard lock(adapter->mutex);
      adapter->paced.Serve(now, simNow);
      if (!adapter->client.Valid()) adapter->paced.DropForHost();
      auto lineStart = clock_ ? std::nullopt : std::optional(start_);
      if (auto next = adapter->paced.NextWake(now, lineStart); next && (!wake || *next < *wake)) wake = next;
      short events = static_cast<short>(POLLIN | (adapter->paced.HasDueForHost(now) ? POLLOUT : 0));
      fds.push_back(pollfd{adapter->listener.Get(), POLLIN, 0});
      fds.push_back(pollfd{adapter->client.Valid() ? adapter->client.Get() : -1, events, 0});
    }
    for (const Responder& responder : responders_) fds.push_back(pollfd{responder.socket.Get(), POLLIN, 0});
    fds.push_back(thread_.WakeEvent());
    // An injected clock moves without telling anyone: look now and then.
    std::optional<std::chrono::nanoseconds> wait;
    if (clock_) wait = std::chrono::milliseconds(20);
    if (wake) wait = *wake - now;
    if (PollFor(fds, wait) < 0 && errno != EINTR) return;
    now = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < adapters_.size(); ++i) {
      Adapter& adapter = *adapters_[i];
      std::lock_guard lock(adapter.mutex);
      if (fds[2 * i].revents & POLLIN) Accept(adapter);
      if (fds[2 * i + 1].revents & (POLLIN | POLLHUP | POLLERR)) ReadFrom(adapter, now);
      adapter.paced.Serve(now, simNow);
      if (adapter.client.Valid()) WriteTo(adapter, now);
    }
    for (std::size_t r = 0; r < responders_.size(); ++r) {
      if (fds[2 * adapters_.size() + r].revents & POLLIN) Answer(responders_[r]);
    }
  }
}

void NetServer::Accept(Adapter& adapter) {
  FileDescriptor client(::accept4(adapter.listener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
  if (!client.Valid()) return;
  if (adapter.client.Valid()) {
    // One client at a time: a second one is reset at once.
    linger reset{1, 0};
    ::setsockopt(client.Get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    return;
  }
  int on = 1;
  ::setsockopt(client.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  adapter.client = std::move(client);
  adapter.paced.DropForHost();
}

void NetServer::ReadFrom(Adapter& adapter, std::chrono::steady_clock::time_point now) {
  std::array<std::uint8_t, 4096> buffer;
  ssize_t count = ::recv(adapter.client.Get(), buffer.data(), buffer.size(), 0);
  if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
  if (count <= 0) {
    // The client is gone: the adapter is free for the next one.
    adapter.client = FileDescriptor();
    adapter.paced.DropForHost();
    return;
  }
  adapter.paced.FromHost(std::span(buffer.data(), static_cast<std::size_t>(count)), now);
}

void NetServer::WriteTo(Adapter& adapter, std::chrono::steady_clock::time_point now) {
  std::vector<std::uint8_t> ready = adapter.paced.DueForHost(now);
  if (ready.empty()) return;
  ssize_t written = ::send(adapter.client.Get(), ready.data(), ready.size(), MSG_NOSIGNAL);
  if (written > 0) {
    adapter.paced.Written(static_cast<std::size_t>(written));
  } else if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    adapter.client = FileDescriptor();
    adapter.paced.DropForHost();
  }
}

void NetServer::Answer(const Responder& responder) {
  std::array<std::uint8_t, 512> buffer;
  sockaddr_in from{};
  socklen_t length = sizeof from;
  ssize_t count = ::recvfrom(responder.socket.Get(), buffer.data(), buffer.size(), 0,
                             reinterpret_cast<sockaddr*>(&from), &length);
  constexpr std::array<std::uint8_t, 4> kQuery{0x00, 0x00, 0x00, 0xF6};
  if (count != static_cast<ssize_t>(kQuery.size()) || !std::equal(kQuery.begin(), kQuery.end(), buffer.begin())) return;
  for (std::size_t index : responder.adapters) {
    Adapter& adapter = *adapters_.at(index);
    std::uint32_t serial = 0;
    {
      std::lock_guard lock(adapter.mutex);
      serial = adapter.paced.Model().Motor(0).Config().serial;
    }
    std::vector<std::uint8_t> answer = DiscoveryAnswer(adapter.reply, serial);
    if (answer.empty()) continue;
    ::sendto(adapter.replier.Get(), answer.data(), answer.size(), 0, reinterpret_cast<const sockaddr*>(&from), length);
  }
}

}  // namespace velkor::sim
