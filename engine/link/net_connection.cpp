// Network connections: connector and receiver threads around one socket.

#include "engine/link/net_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>

#include "engine/core/errors.h"

namespace velkor::engine {
namespace {

using namespace std::chrono_literals;

constexpr auto kRetryPause = 5000ms;
constexpr std::size_t kReceiveChunk = 512;

bool IsLineEnd(std::uint8_t byte) { return byte == '\r' || byte == '\n'; }

std::optional<in_addr> ResolveIpv4(const std::string& host) {
  in_addr address{};
  if (::inet_pton(AF_INET, host.c_str(), &address) == 1) return address;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return std::nullopt;
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  ::freeaddrinfo(found);
  return address;
}

sockaddr_in SocketAddress(in_addr address, std::uint16_t port) {
  sockaddr_in socketAddress{};
  socketAddress.sin_family = AF_INET;
  socketAddress.sin_addr = address;
  socketAddress.sin_port = htons(port);
  return socketAddress;
}

bool SetBlocking(int socket) {
  const int flags = ::fcntl(socket, F_GETFL);
  return flags >= 0 && ::fcntl(socket, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// Waits for `events` on `socket` or for the wake-up descriptor; true for the socket.
bool WaitUnlessWoken(int socket, short events, int wake) {
  for (;;) {
    pollfd watch[2] = {{socket, events, 0}, {wake, POLLIN, 0}};
    const int result = ::poll(watch, 2, -1);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0 || watch[1].revents != 0) return false;
    if (watch[0].revents != 0) return true;
  }
}

}  // namespace

std::string FormatIpv4(const Ipv4Address& address) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", address[0], address[1], address[2], address[3]);
  return text;
}

NetConnection::~NetConnection() { Close(); }

bool NetConnection::Connect(const std::optional<std::string>& host, std::uint16_t port, std::int32_t timeoutMs) {
  Close();
  if (host) host_ = *host;
  port_ = port;
  return Start(NetMode::Tcp, timeoutMs);
}

bool NetConnection::OpenUdp(std::uint16_t port, bool broadcast, std::int32_t timeoutMs) {
  Close();
  host_.clear();
  port_ = port;
  return Start(broadcast ? NetMode::UdpBroadcast : NetMode::Udp, timeoutMs);
}

bool NetConnection::Start(NetMode mode, std::int32_t timeoutMs) {
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_ < 0) return false;
  {
    std::lock_guard lock(mutex_);
    mode_ = mode;
    state_ = NetState::Connecting;
    lastSystemError_ = 0;
  }
  try {
    connector_ = std::thread(&NetConnection::RunConnector, this);
  } catch (const std::system_error&) {
    Close();
    return false;
  }
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                    [this] { return state_ == NetState::Ready; });
  return state_ == NetState::Ready;
}

void NetConnection::Close() {
  {
    std::lock_guard lock(mutex_);
    if (state_ == NetState::Closed && !connector_.joinable() && wake_ < 0) return;
    state_ = NetState::Closing;
    stopping_ = true;
    // Ends a blocked receive; the descriptor itself stays until both threads
    // are gone, so that no thread can use a number the system hands out anew.
    if (socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
  }
  changed_.notify_all();
  if (wake_ >= 0) {
    const std::uint64_t one = 1;
    // The counter stays readable from here on, so every poll of both threads ends.
    [[maybe_unused]] const ssize_t woken = ::write(wake_, &one, sizeof one);
  }
  if (connector_.joinable()) connector_.join();
  if (receiver_.joinable()) receiver_.join();

  std::lock_guard lock(mutex_);
  if (socket_ >= 0) ::close(socket_);
  if (wake_ >= 0) ::close(wake_);
  socket_ = -1;
  wake_ = -1;
  stopping_ = false;
  receiverStarted_ = false;
  receiverEnded_ = false;
  lost_ = false;
  readIndex_ = 0;
  count_ = 0;
  lastLineEnd_ = 0;
  state_ = NetState::Closed;
}

void NetConnection::RunConnector() {
  for (;;) {
    NetMode mode;
    {
      std::unique_lock lock(mutex_);
      // Once ready there is nothing left to do until the connection closes.
      changed_.wait(lock, [this] { return stopping_ || state_ == NetState::Connecting; });
      if (stopping_) return;
      mode = mode_;
    }
    const int socket = mode == NetMode::Tcp ? OpenTcpSocket() : OpenUdpSocket(mode == NetMode::UdpBroadcast);
    if (socket >= 0) {
      std::unique_lock lock(mutex_);
      if (stopping_) {
        ::close(socket);
        return;
      }
      bool started = true;
      if (mode == NetMode::Tcp) {
        try {
          receiver_ = std::thread(&NetConnection::RunReceiver, this, socket);
          receiverStarted_ = true;
        } catch (const std::system_error&) {
          started = false;
        }
      }
      if (started) {
        socket_ = socket;
        state_ = NetState::Ready;
        lock.unlock();
        changed_.notify_all();
        continue;
      }
      ::close(socket);
    }
    SleepUnlessStopped(kRetryPause);
  }
}

void NetConnection::SleepUnlessStopped(std::chrono::milliseconds pause) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, pause, [this] { return stopping_; });
}

int NetConnection::OpenTcpSocket() {
  const auto address = ResolveIpv4(host_);
  if (!address) return -1;
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (socket < 0) return -1;
  // Commands go out in small pieces a few ms apart; waiting for the
  // adapter's acknowledgement before each one would only add delay.
  const int on = 1;
  (void)::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  const sockaddr_in remote = SocketAddress(*address, port_);
  const bool connected = ::connect(socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0 ||
                         (errno == EINPROGRESS && WaitConnected(socket));
  if (!connected || !SetBlocking(socket)) {
    ::close(socket);
    return -1;
  }
  return socket;
}

bool NetConnection::WaitConnected(int socket) {
  if (!WaitUnlessWoken(socket, POLLOUT, wake_)) return false;
  int error = 0;
  socklen_t size = sizeof error;
  return ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

int NetConnection::OpenUdpSocket(bool broadcast) {
  const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (socket < 0) {
    NoteSystemError(errno);
    return -1;
  }
  const int on = 1;
  const sockaddr_in local = SocketAddress(in_addr{htonl(INADDR_ANY)}, port_);
  // Discovery binds two sockets to the same port.
  if ((broadcast && ::setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) ||
      ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    NoteSystemError(errno);
    ::close(socket);
    return -1;
  }
  return socket;
}

void NetConnection::NoteSystemError(int error) {
  std::lock_guard lock(mutex_);
  lastSystemError_ = error;
}

int NetConnection::LastSystemError() const {
  std::lock_guard lock(mutex_);
  return lastSystemError_;
}

void NetConnection::RunReceiver(int socket) {
  std::array<std::uint8_t, kReceiveChunk> chunk;
  while (WaitUnlessWoken(socket, POLLIN, wake_)) {
    const ssize_t count = ::recv(socket, chunk.data(), chunk.size(), 0);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    {
      std::lock_guard lock(mutex_);
      Store(chunk.data(), static_cast<std::size_t>(count));
    }
    changed_.notify_all();
  }
  {
    std::lock_guard lock(mutex_);
    receiverEnded_ = true;
  }
  changed_.notify_all();
}

void NetConnection::Store(const std::uint8_t* bytes, std::size_t count) {
  // After a loss nothing is kept until the reader has been told, so that the
  // error stands exactly where the gap is.
  if (lost_) return;
  const std::size_t fits = std::min(count, kReceiveRingSize - count_);
  for (std::size_t i = 0; i < fits; ++i) ring_[(readIndex_ + count_ + i) % kReceiveRingSize] = bytes[i];
  count_ += fits;
  lost_ = fits < count;
}

void NetConnection::RequireStream() const {
  if (state_ != NetState::Ready || !receiverStarted_ || socket_ < 0) throw CVNXException(ErrorCode::NetworkCommunication);
}

bool NetConnection::SendTo(std::string_view bytes, const std::optional<std::string>& ipv4, std::uint16_t port) {
  int socket;
  {
    std::lock_guard lock(mutex_);
    if (state_ != NetState::Ready || mode_ == NetMode::Tcp || socket_ < 0)
      throw CVNXException(ErrorCode::NetworkCommunication);
    socket = socket_;
  }
  in_addr address{htonl(INADDR_BROADCAST)};
  if (ipv4 && ::inet_pton(AF_INET, ipv4->c_str(), &address) != 1) {
    NoteSystemError(EINVAL);
    return false;
  }
  const sockaddr_in remote = SocketAddress(address, port);
  const ssize_t sent = ::sendto(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&remote), sizeof remote);
  if (sent < 0) NoteSystemError(errno);
  return sent == static_cast<ssize_t>(bytes.size());
}

std::optional<Datagram> NetConnection::ReceiveDatagram(std::size_t max) {
  int socket;
  {
    std::lock_guard lock(mutex_);
    if (state_ != NetState::Ready || mode_ == NetMode::Tcp || socket_ < 0)
      throw CVNXException(ErrorCode::NetworkCommunication);
    socket = socket_;
  }
  Datagram datagram;
  datagram.bytes.resize(max);
  sockaddr_in sender{};
  socklen_t size = sizeof sender;
  const ssize_t count = ::recvfrom(socket, datagram.bytes.data(), max, MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&sender), &size);
  if (count < 0) return std::nullopt;
  datagram.bytes.resize(static_cast<std::size_t>(count));
  const std::uint32_t host = ntohl(sender.sin_addr.s_addr);
  datagram.sender = {static_cast<std::uint8_t>(host >> 24), static_cast<std::uint8_t>(host >> 16),
                     static_cast<std::uint8_t>(host >> 8), static_cast<std::uint8_t>(host)};
  return datagram;
}

void NetConnection::Send(std::string_view bytes) {
  int socket;
  {
    std::lock_guard lock(mutex_);
    RequireStream();
    socket = socket_;
  }
  // The lock is not held while sending: a peer that waits for us to read
  // before it reads itself must not stop the receiver.
  while (!bytes.empty()) {
    const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) throw CVNXException(ErrorCode::NetworkCommunication);
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

bool NetConnection::WaitForByte(std::unique_lock<std::mutex>& lock, std::int32_t timeoutMs, bool anyDelivered) {
  changed_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                    [this] { return count_ > 0 || lost_ || receiverEnded_ || stopping_; });
  if (count_ > 0) return true;
  if (lost_ && !anyDelivered) {
    lost_ = false;
    throw CVNXException(ErrorCode::InputOverflow);
  }
  return false;
}

std::uint8_t NetConnection::TakeByte() {
  const std::uint8_t byte = ring_[readIndex_];
  readIndex_ = (readIndex_ + 1) % kReceiveRingSize;
  --count_;
  return byte;
}

std::string NetConnection::ReadBytes(std::size_t max, std::int32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  RequireStream();
  lastLineEnd_ = 0;
  std::string bytes;
  while (bytes.size() < max && WaitForByte(lock, timeoutMs, !bytes.empty()))
    bytes.push_back(static_cast<char>(TakeByte()));
  if (bytes.empty() && max > 0) {
    answerOverdue_ = true;
    throw CVNXException(ErrorCode::NoResponse);
  }
  return bytes;
}

std::string NetConnection::ReadLine(std::size_t max, std::int32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  RequireStream();
  std::string line;
  // The other half of a CR LF (or LF CR) pair that came after the last line
  // was read belongs to that line; a second CR, though, ends an empty answer.
  std::uint8_t pairHalf = lastLineEnd_ == '\r' ? '\n' : lastLineEnd_ == '\n' ? '\r' : 0;
  lastLineEnd_ = 0;
  while (line.size() + 1 < max) {
    if (!WaitForByte(lock, timeoutMs, false)) {
      answerOverdue_ = true;
      throw CVNXException(ErrorCode::NoResponse);
    }
    const std::uint8_t byte = TakeByte();
    const bool lateHalf = pairHalf != 0 && byte == pairHalf;
    pairHalf = 0;
    if (lateHalf) continue;
    if (IsLineEnd(byte)) {
      if (count_ > 0 && IsLineEnd(ring_[readIndex_]) && ring_[readIndex_] != byte) TakeByte();
      else lastLineEnd_ = byte;
      return line;
    }
    line.push_back(static_cast<char>(byte));
  }
  return line;
}

void NetConnection::Purge() {
  std::lock_guard lock(mutex_);
  RequireStream();
  readIndex_ = 0;
  count_ = 0;
  lost_ = false;
  lastLineEnd_ = 0;
}

bool NetConnection::TakeAnswerOverdue() {
  std::lock_guard lock(mutex_);
  return std::exchange(answerOverdue_, false);
}

std::size_t NetConnection::Available() const {
  std::lock_guard lock(mutex_);
  return count_;
}

NetState NetConnection::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

NetMode NetConnection::Mode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

bool NetConnection::Overflowed() const {
  std::lock_guard lock(mutex_);
  return lost_;
}

std::uint16_t NetConnection::LocalPort() const {
  std::lock_guard lock(mutex_);
  if (socket_ < 0) return 0;
  sockaddr_in local{};
  socklen_t size = sizeof local;
  if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
  return ntohs(local.sin_port);
}

}  // namespace velkor::engine
