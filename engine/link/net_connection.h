#pragma once
// The connection of one network motor: a TCP connection to the network
// serial adapter in front of it, or a UDP socket for discovery.
//
// A connector thread makes the connection (and keeps trying every 5 s until
// it succeeds or the connection is closed); on TCP a receiver thread then
// fills a 1000-byte receive ring that the caller reads. Failures are
// CVNXException: 43 for use of a connection that is not ready or a failed
// send, 5 when a read gets nothing in time, 10 when received bytes were lost
// because the ring was full (reported once, after the bytes stored before
// the loss).

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace velkor::engine {

inline constexpr std::uint16_t kMotorTcpPort = 10001;
inline constexpr std::uint16_t kDiscoveryPort = 30718;
inline constexpr std::size_t kReceiveRingSize = 1000;

enum class NetMode : std::uint32_t { Tcp = 1, Udp = 2, UdpBroadcast = 6 };
enum class NetState : std::uint32_t { Ready = 1, Connecting = 2, Closed = 3, Closing = 4 };

using Ipv4Address = std::array<std::uint8_t, 4>;
std::string FormatIpv4(const Ipv4Address& address);  // "%d.%d.%d.%d"

struct Datagram {
  std::string bytes;
  Ipv4Address sender{};
};

class NetConnection {
 public:
  NetConnection() = default;
  ~NetConnection();
  NetConnection(const NetConnection&) = delete;
  NetConnection& operator=(const NetConnection&) = delete;

  // TCP to host:port (nullopt keeps the stored host); true when the
  // connection is ready within timeoutMs.
  bool Connect(const std::optional<std::string>& host, std::uint16_t port, std::int32_t timeoutMs);
  // A UDP socket bound to the local port (0: one the system picks).
  bool OpenUdp(std::uint16_t port, bool broadcast, std::int32_t timeoutMs);
  // Ends both threads and closes the socket; returns promptly in every state.
  void Close();

  // UDP: one datagram to ipv4:port, or to the broadcast address; true when sent.
  bool SendTo(std::string_view bytes, const std::optional<std::string>& ipv4 = std::nullopt,
              std::uint16_t port = kDiscoveryPort);
  // UDP: one waiting datagram of at most `max` bytes, without waiting.
  std::optional<Datagram> ReceiveDatagram(std::size_t max);

  // TCP. Send and Close belong to one thread; reads may run on another.
  void Send(std::string_view bytes);
  // Bytes as they come, up to max; waits up to timeoutMs for each arrival.
  std::string ReadBytes(std::size_t max, std::int32_t timeoutMs);
  // One line ended by CR or LF (not kept, a CR LF pair counts once), at most
  // max - 1 characters as a serial line read gives.
  std::string ReadLine(std::size_t max, std::int32_t timeoutMs);
  void Purge();
  std::size_t Available() const;
  // True once after a read timed out: the answer it waited for may still
  // come, and must not be taken for the next one's.
  bool TakeAnswerOverdue();

  NetState State() const;
  NetMode Mode() const;
  const std::string& Host() const { return host_; }
  std::uint16_t Port() const { return port_; }
  // The bound local port (useful when OpenUdp asked for 0); 0 when not open.
  std::uint16_t LocalPort() const;
  // Received bytes were lost and no read has reported it yet.
  bool Overflowed() const;
  // The system's error number of the last socket, bind or send that failed
  // (0 when none did), so that a failure can be told in the system's words.
  int LastSystemError() const;

 private:
  bool Start(NetMode mode, std::int32_t timeoutMs);
  void RunConnector();
  void RunReceiver(int socket);
  void Store(const std::uint8_t* bytes, std::size_t count);
  int OpenTcpSocket();  // -1 on failure
  int OpenUdpSocket(bool broadcast);
  void NoteSystemError(int error);
  bool WaitConnected(int socket);
  void SleepUnlessStopped(std::chrono::milliseconds pause);
  // Waits until a byte is waiting; false after timeoutMs or when no byte can
  // come. Throws 10 when the ring holds nothing but the mark of lost bytes.
  bool WaitForByte(std::unique_lock<std::mutex>& lock, std::int32_t timeoutMs, bool anyDelivered);
  std::uint8_t TakeByte();
  void RequireStream() const;

  std::string host_;
  std::uint16_t port_ = 0;

  mutable std::mutex mutex_;  // everything below
  std::condition_variable changed_;  // state, stop request, ring contents
  NetMode mode_ = NetMode::Tcp;
  NetState state_ = NetState::Closed;
  bool stopping_ = false;
  int socket_ = -1;
  int wake_ = -1;  // eventfd made readable by Close, to end polls at once
  int lastSystemError_ = 0;
  bool answerOverdue_ = false;
  bool receiverStarted_ = false;
  bool receiverEnded_ = false;  // the peer closed or the socket failed
  bool lost_ = false;           // bytes after the ring's contents were dropped
  std::array<std::uint8_t, kReceiveRingSize> ring_{};
  std::size_t readIndex_ = 0;
  std::size_t count_ = 0;
  // The line end that closed the last line, so that the other half of a
  // CR LF pair arriving late does not read as an empty line; 0 after other reads.
  std::uint8_t lastLineEnd_ = 0;

  // Started by Connect/OpenUdp (connector) and by the connector (receiver);
  // joined by Close, connector first.
  std::thread connector_;
  std::thread receiver_;
};

}  // namespace velkor::engine
