#include "engine/link/net_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

#include "engine/core/errors.h"
#include "tests/support/engine_error.h"

using velkor::testing::ErrorCodeOf;

namespace velkor::engine {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

template <class Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit = 3s) {
  const auto end = Clock::now() + limit;
  while (!condition()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~Descriptor() { Reset(); }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

std::uint16_t PortOf(int socket) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

// A network adapter stand-in: listens on a free loopback port; the test
// accepts the connection and plays the adapter's side on it.
class LoopbackServer {
 public:
  explicit LoopbackServer(int backlog = 4) : listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const sockaddr_in address = Loopback(0);
    ::bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(listener_.get(), backlog);
    port_ = PortOf(listener_.get());
  }
  std::uint16_t port() const { return port_; }
  int listener() const { return listener_.get(); }
  Descriptor Accept() const {
    pollfd watch{listener_.get(), POLLIN, 0};
    if (::poll(&watch, 1, 3000) <= 0) return Descriptor{};
    return Descriptor(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
  }

 private:
  Descriptor listener_;
  std::uint16_t port_ = 0;
};

void SendAll(const Descriptor& peer, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(peer.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    ASSERT_GT(sent, 0);
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

std::string Receive(const Descriptor& peer, std::size_t count) {
  std::string bytes;
  const auto end = Clock::now() + 3s;
  while (bytes.size() < count && Clock::now() < end) {
    pollfd watch{peer.get(), POLLIN, 0};
    if (::poll(&watch, 1, 100) <= 0) continue;
    char chunk[256];
    const ssize_t got = ::recv(peer.get(), chunk, std::min(sizeof chunk, count - bytes.size()), 0);
    if (got <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
  return bytes;
}

template <class Action>
std::chrono::milliseconds TimeOf(Action action) {
  const auto start = Clock::now();
  action();
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

class Connected : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(connection_.Connect("127.0.0.1", server_.port(), 2000));
    peer_ = server_.Accept();
    ASSERT_GE(peer_.get(), 0);
  }
  // Waits until the receiver has stored `count` bytes.
  void AwaitAvailable(std::size_t count) {
    ASSERT_TRUE(Eventually([&] { return connection_.Available() >= count; }));
  }

  LoopbackServer server_;
  NetConnection connection_;
  Descriptor peer_;
};

TEST_F(Connected, SendsAndReadsLinesAndBytes) {
  EXPECT_EQ(connection_.State(), NetState::Ready);
  EXPECT_EQ(connection_.Host(), "127.0.0.1");
  connection_.Send("\x80RP\r");
  EXPECT_EQ(Receive(peer_, 4), "\x80RP\r");
  connection_.Send("");

  SendAll(peer_, "123\r456\r\n789");
  EXPECT_EQ(connection_.ReadLine(256, 1000), "123");
  EXPECT_EQ(connection_.ReadLine(256, 1000), "456");
  EXPECT_EQ(connection_.ReadBytes(10, 100), "789") << "the LF of the pair went with its line";
}

TEST_F(Connected, LineEndsPairOnlyAcrossOneCrLf) {
  SendAll(peer_, "12\r");
  EXPECT_EQ(connection_.ReadLine(256, 1000), "12");
  SendAll(peer_, "\n34\r");
  EXPECT_EQ(connection_.ReadLine(256, 1000), "34") << "a late LF still belongs to the line before";
  SendAll(peer_, "a\r\rb\n");
  EXPECT_EQ(connection_.ReadLine(256, 1000), "a");
  EXPECT_EQ(connection_.ReadLine(256, 1000), "") << "a second CR is an empty answer";
  EXPECT_EQ(connection_.ReadLine(256, 1000), "b");
  SendAll(peer_, std::string("\0x\r", 3));
  EXPECT_EQ(connection_.ReadLine(256, 1000), std::string("\0x", 2));
}

TEST_F(Connected, ALongLineStopsOneShortOfMax) {
  SendAll(peer_, "abcdef\r");
  EXPECT_EQ(connection_.ReadLine(4, 1000), "abc");
  EXPECT_EQ(connection_.ReadLine(256, 1000), "def");
}

TEST_F(Connected, ReadsThatGetNothingInTimeRaiseError5) {
  std::uint32_t code = 0;
  const auto waited = TimeOf([&] { code = ErrorCodeOf([&] { connection_.ReadBytes(10, 80); }); });
  EXPECT_EQ(code, 5u);
  EXPECT_GE(waited, 70ms);

  SendAll(peer_, "abc");
  AwaitAvailable(3);
  EXPECT_EQ(ErrorCodeOf([&] { connection_.ReadLine(256, 50); }), 5u) << "a line without its end";
  EXPECT_EQ(connection_.Available(), 0u);
}

TEST_F(Connected, ReadBytesStopsAtMaxAndKeepsTheRest) {
  SendAll(peer_, "0123456789");
  AwaitAvailable(10);
  EXPECT_EQ(connection_.ReadBytes(4, 100), "0123");
  EXPECT_EQ(connection_.Available(), 6u);
  EXPECT_EQ(connection_.ReadBytes(100, 20), "456789");
}

TEST_F(Connected, PurgeEmptiesTheRing) {
  SendAll(peer_, "stale answer\r");
  AwaitAvailable(13);
  connection_.Purge();
  EXPECT_EQ(connection_.Available(), 0u);
  EXPECT_EQ(ErrorCodeOf([&] { connection_.ReadBytes(1, 0); }), 5u);
  connection_.Purge();  // nothing waiting is no error
}

TEST_F(Connected, AFullRingReportsTheLossAfterTheStoredBytes) {
  std::string flood(1500, '\0');
  for (std::size_t i = 0; i < flood.size(); ++i) flood[i] = static_cast<char>('A' + i % 26);
  SendAll(peer_, flood);
  ASSERT_TRUE(Eventually([&] { return connection_.Overflowed(); }));
  EXPECT_EQ(connection_.Available(), kReceiveRingSize);

  EXPECT_EQ(connection_.ReadBytes(600, 50), flood.substr(0, 600));
  EXPECT_EQ(connection_.ReadBytes(600, 50), flood.substr(600, 400)) << "stops at the gap";
  EXPECT_EQ(ErrorCodeOf([&] { connection_.ReadBytes(600, 50); }), 10u);

  SendAll(peer_, "fresh\r");
  EXPECT_EQ(connection_.ReadLine(256, 1000), "fresh") << "the loss is reported once";
}

TEST_F(Connected, PurgeForgetsALoss) {
  SendAll(peer_, std::string(1200, 'x'));
  ASSERT_TRUE(Eventually([&] { return connection_.Overflowed(); }));
  connection_.Purge();
  EXPECT_FALSE(connection_.Overflowed());
  // The tail of the flood may still be on its way when the purge runs; it
  // arrives as ordinary bytes, never as a second loss.
  SendAll(peer_, "\rok\r");
  EXPECT_EQ(connection_.ReadLine(256, 1000).find_first_not_of('x'), std::string::npos);
  EXPECT_EQ(connection_.ReadLine(256, 1000), "ok");
}

TEST_F(Connected, APeerThatClosesEndsTheReceiver) {
  SendAll(peer_, "last\r");
  peer_.Reset();
  EXPECT_EQ(connection_.ReadLine(256, 1000), "last") << "what came before the end is kept";
  std::uint32_t code = 0;
  const auto waited = TimeOf([&] { code = ErrorCodeOf([&] { connection_.ReadBytes(10, 2000); }); });
  EXPECT_EQ(code, 5u);
  EXPECT_LT(waited, 1000ms) << "no byte can come any more";
  EXPECT_EQ(connection_.State(), NetState::Ready) << "a dropped connection is not reconnected";

  bool failed = false;
  for (int attempt = 0; attempt < 50 && !failed; ++attempt) {
    failed = ErrorCodeOf([&] { connection_.Send("WAKE\r"); }) == 43u;
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_TRUE(failed) << "sending into a closed connection";
}

TEST_F(Connected, CloseEndsABlockedReceiverPromptly) {
  EXPECT_LT(TimeOf([&] { connection_.Close(); }), 500ms);
  EXPECT_EQ(connection_.State(), NetState::Closed);
  EXPECT_EQ(ErrorCodeOf([&] { connection_.Send("x"); }), 43u);
  EXPECT_EQ(Receive(peer_, 1), "") << "the adapter sees the connection end";
}

TEST_F(Connected, CloseWakesAReaderWaitingOnAnotherThread) {
  std::uint32_t code = 0;
  std::thread reader([&] { code = ErrorCodeOf([&] { connection_.ReadBytes(10, 5000); }); });
  std::this_thread::sleep_for(50ms);
  EXPECT_LT(TimeOf([&] { connection_.Close(); }), 500ms);
  reader.join();
  EXPECT_EQ(code, 5u);
}

TEST_F(Connected, ConnectAgainKeepsTheStoredHost) {
  SendAll(peer_, "old\r");
  AwaitAvailable(4);
  ASSERT_TRUE(connection_.Connect(std::nullopt, server_.port(), 2000));
  Descriptor second = server_.Accept();
  ASSERT_GE(second.get(), 0);
  EXPECT_EQ(connection_.Host(), "127.0.0.1");
  EXPECT_EQ(connection_.Available(), 0u) << "nothing of the old connection is left";
  SendAll(second, "new\r");
  EXPECT_EQ(connection_.ReadLine(256, 1000), "new");
}

TEST(NetConnection, UseBeforeReadyRaisesError43) {
  NetConnection connection;
  EXPECT_EQ(connection.State(), NetState::Closed);
  EXPECT_EQ(ErrorCodeOf([&] { connection.Send("x"); }), 43u);
  EXPECT_EQ(ErrorCodeOf([&] { connection.ReadBytes(1, 0); }), 43u);
  EXPECT_EQ(ErrorCodeOf([&] { connection.ReadLine(10, 0); }), 43u);
  EXPECT_EQ(ErrorCodeOf([&] { connection.Purge(); }), 43u);
  EXPECT_EQ(ErrorCodeOf([&] { connection.SendTo("x", "127.0.0.1"); }), 43u);
  EXPECT_EQ(connection.Available(), 0u);
  connection.Close();  // closing a closed connection is harmless
}

TEST(NetConnection, ARefusedConnectionFailsAndClosesAtOnce) {
  std::uint16_t port = 0;
  {
    LoopbackServer gone;
    port = gone.port();
  }
  NetConnection connection;
  bool connected = true;
  const auto waited = TimeOf([&] { connected = connection.Connect("127.0.0.1", port, 200); });
  EXPECT_FALSE(connected);
  EXPECT_GE(waited, 190ms);
  EXPECT_LT(waited, 1000ms);
  EXPECT_EQ(connection.State(), NetState::Connecting) << "the connector keeps trying";
  EXPECT_LT(TimeOf([&] { connection.Close(); }), 500ms) << "the retry pause does not hold Close";
  EXPECT_EQ(connection.State(), NetState::Closed);
}

TEST(NetConnection, ResolvesAHostName) {
  LoopbackServer server;
  NetConnection connection;
  ASSERT_TRUE(connection.Connect("localhost", server.port(), 2000));
  Descriptor peer = server.Accept();
  ASSERT_GE(peer.get(), 0);
  SendAll(peer, "named\r");
  EXPECT_EQ(connection.ReadLine(256, 1000), "named");
}

TEST(NetConnection, CloseEndsAConnectThatIsNeverAnswered) {
  // A listener whose queue is full drops further connection requests, so the
  // next connect waits for an answer that never comes.
  LoopbackServer full(0);
  std::vector<Descriptor> fillers;
  for (int i = 0; i < 4; ++i) {
    Descriptor filler(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    const sockaddr_in address = Loopback(full.port());
    ::connect(filler.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    fillers.push_back(std::move(filler));
  }
  std::this_thread::sleep_for(50ms);
  Descriptor probe(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  const sockaddr_in address = Loopback(full.port());
  ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  pollfd watch{probe.get(), POLLOUT, 0};
  if (::poll(&watch, 1, 200) != 0) GTEST_SKIP() << "this system answers even a full listener";

  NetConnection connection;
  EXPECT_FALSE(connection.Connect("127.0.0.1", full.port(), 100));
  EXPECT_EQ(connection.State(), NetState::Connecting);
  EXPECT_LT(TimeOf([&] { connection.Close(); }), 500ms);
  EXPECT_EQ(connection.State(), NetState::Closed);
}

TEST(NetConnectionUdp, SendsAndReceivesDatagramsWithTheSender) {
  NetConnection receiver;
  NetConnection sender;
  ASSERT_TRUE(receiver.OpenUdp(0, false, 1000));
  ASSERT_TRUE(sender.OpenUdp(0, false, 1000));
  EXPECT_EQ(receiver.Mode(), NetMode::Udp);
  ASSERT_NE(receiver.LocalPort(), 0);
  EXPECT_FALSE(receiver.ReceiveDatagram(200)) << "nothing waiting, no waiting";

  const std::string query("\x00\x00\x00\xF6", 4);
  ASSERT_TRUE(sender.SendTo(query, "127.0.0.1", receiver.LocalPort()));
  std::optional<Datagram> datagram;
  ASSERT_TRUE(Eventually([&] { return (datagram = receiver.ReceiveDatagram(200)).has_value(); }));
  EXPECT_EQ(datagram->bytes, query);
  EXPECT_EQ(FormatIpv4(datagram->sender), "127.0.0.1");

  ASSERT_TRUE(sender.SendTo(std::string(30, 'r'), "127.0.0.1", receiver.LocalPort()));
  ASSERT_TRUE(Eventually([&] { return (datagram = receiver.ReceiveDatagram(10)).has_value(); }));
  EXPECT_EQ(datagram->bytes.size(), 10u) << "at most what was asked for";
}

TEST(NetConnectionUdp, RejectsStreamUseAndBadAddresses) {
  NetConnection udp;
  ASSERT_TRUE(udp.OpenUdp(0, true, 1000));
  EXPECT_EQ(udp.Mode(), NetMode::UdpBroadcast);
  EXPECT_FALSE(udp.SendTo("x", "not an address", udp.LocalPort()));
  EXPECT_EQ(ErrorCodeOf([&] { udp.Send("x"); }), 43u) << "a datagram socket has no receiver";
  EXPECT_EQ(ErrorCodeOf([&] { udp.ReadBytes(1, 0); }), 43u);

  NetConnection taken;
  EXPECT_TRUE(taken.OpenUdp(udp.LocalPort(), false, 1000)) << "the discovery port is shared";
  udp.Close();
  EXPECT_EQ(ErrorCodeOf([&] { udp.ReceiveDatagram(10); }), 43u);
}

TEST(NetConnectionFormat, WritesDottedQuads) {
  EXPECT_EQ(FormatIpv4({192, 168, 0, 255}), "192.168.0.255");
  EXPECT_EQ(FormatIpv4({0, 0, 0, 0}), "0.0.0.0");
}

}  // namespace
}  // namespace velkor::engine
