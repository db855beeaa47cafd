// Network and USB adapters, from the host's side: a TCP client per motor, the
// UDP discovery query, and USB devices found through the device list. All on
// loopback.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "host_port.h"
#include "sim/frontend/pseudo_terminal.h"
#include "tests/support/test_environment.h"

namespace velkor::sim {
namespace {

using namespace std::chrono_literals;
using testing::StartScenario;

sockaddr_in Address(const NetEndpoint& at) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(at.port);
  ::inet_pton(AF_INET, at.address.c_str(), &address.sin_addr);
  return address;
}

// Whether this machine lets us bind loopback addresses beyond 127.0.0.1.
bool MoreLoopbackAddresses() {
  FileDescriptor probe(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in address = Address(NetEndpoint{"127.0.0.4", 0});
  return ::bind(probe.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

bool Readable(int fd, std::chrono::milliseconds limit) {
  pollfd waited{fd, POLLIN, 0};
  return ::poll(&waited, 1, static_cast<int>(limit.count())) > 0;
}

class TcpClient {
 public:
  explicit TcpClient(const NetEndpoint& at) : socket_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address = Address(at);
    connected_ = ::connect(socket_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  bool Connected() const { return connected_; }
  bool Send(const std::string& bytes) {
    return ::send(socket_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  // What arrives until the connection has been quiet for `quiet` (or ends).
  std::string Receive(std::chrono::milliseconds quiet = 300ms) {
    std::string got;
    char buffer[256];
    while (Readable(socket_.Get(), quiet)) {
      ssize_t n = ::recv(socket_.Get(), buffer, sizeof buffer, 0);
      if (n <= 0) {
        ended_ = true;
        break;
      }
      got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }
  bool Ended() const { return ended_; }

 private:
  FileDescriptor socket_;
  bool connected_ = false;
  bool ended_ = false;
};

TEST(NetAdapter, CarriesOneMotorsTrafficWithAddressSelection) {
  auto simulator = StartScenario("port net discovery=off\nmotor\nmotor address=3 listen=127.0.0.1:0\n");
  ASSERT_TRUE(simulator);
  ASSERT_EQ(simulator->MotorCount(0), 2u);
  EXPECT_FALSE(simulator->DiscoveryEndpoint(0));
  NetEndpoint first = simulator->AdapterEndpoint(0, 0);
  NetEndpoint second = simulator->AdapterEndpoint(0, 1);
  EXPECT_EQ(first.address, "127.0.0.1");
  EXPECT_NE(first.port, 0);
  EXPECT_NE(second.port, first.port);
  EXPECT_NE(simulator->Describe().at(2).find(", tcp " + EndpointText(second)), std::string::npos)
      << simulator->Describe().at(2);

  TcpClient client(second);
  ASSERT_TRUE(client.Connected());
  EXPECT_TRUE(client.Send("\x80RP\r"));  // echo off: only the answer comes back
  EXPECT_EQ(client.Receive(), "0\r");
  EXPECT_TRUE(client.Send("\x85" "a=5\r\x85Ra\r"));  // another address: not for this motor
  EXPECT_EQ(client.Receive(), "");
  EXPECT_TRUE(client.Send("\x83" "a=7\r\x83Ra\r"));
  EXPECT_EQ(client.Receive(), "7\r");
  EXPECT_EQ(simulator->WithMotor(0, 1, [](Firmware& motor) { return motor.Command("Ra"); }), "7\r");
  // The other adapter's motor heard none of it.
  EXPECT_EQ(simulator->WithMotor(0, 0, [](Firmware& motor) { return motor.Command("Ra"); }), "0\r");
}

// Paced, the adapter's serial side takes each character's time at the
// motor's rate: at 2400 baud the 4 bytes of the command and the 2 of the
// answer take at least 25 ms.
TEST(NetAdapter, PacedAdapterTakesTheSerialSidesTime) {
  auto simulator = StartScenario("port net discovery=off pace\nmotor baud=2400 listen=127.0.0.1:0\n");
  ASSERT_TRUE(simulator);
  TcpClient client(simulator->AdapterEndpoint(0, 0));
  ASSERT_TRUE(client.Connected());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(client.Send("\x80RP\r"));
  std::string answer;
  while (answer.find('\r') == std::string::npos && !client.Ended()) answer += client.Receive(20ms);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 6 * 4166us);
  EXPECT_EQ(answer, "0\r");
  // A burst keeps its order and loses nothing at the slow pace.
  EXPECT_TRUE(client.Send("\x80" "a=1\r\x80Ra\r\x80" "a=22\r\x80Ra\r"));
  EXPECT_EQ(client.Receive(), "1\r22\r");
}

TEST(NetAdapter, OneClientAtATimeAndADisconnectFreesIt) {
  auto simulator = StartScenario("port net discovery=off\nmotor\n");
  ASSERT_TRUE(simulator);
  NetEndpoint at = simulator->AdapterEndpoint(0, 0);
  {
    TcpClient first(at);
    ASSERT_TRUE(first.Connected());
    EXPECT_TRUE(first.Send("\x80" "b=42\r"));
    EXPECT_EQ(first.Receive(100ms), "");
    TcpClient second(at);
    second.Send("\x80Rb\r");  // may fail already: the reset can come first
    EXPECT_EQ(second.Receive(), "");
    EXPECT_TRUE(second.Ended());  // turned away
    EXPECT_TRUE(first.Send("\x80Rb\r"));
    EXPECT_EQ(first.Receive(), "42\r");
  }
  // The next client gets the adapter and the motor as the first left it,
  // once the server has seen the first go.
  bool answered = false;
  for (int attempt = 0; attempt < 20 && !answered; ++attempt) {
    TcpClient next(at);
    ASSERT_TRUE(next.Connected());
    EXPECT_TRUE(next.Send("\x80Rb\r"));
    answered = next.Receive() == "42\r";
    if (!answered) std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(answered);
}

struct Reply {
  std::string from;
  std::vector<std::uint8_t> bytes;
};

// Sends `query` to the responder and collects every datagram that comes back.
std::vector<Reply> Discover(const NetEndpoint& responder, const std::vector<std::uint8_t>& query) {
  FileDescriptor socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in local = Address(NetEndpoint{"127.0.0.1", 0});
  EXPECT_EQ(::bind(socket.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
  sockaddr_in to = Address(responder);
  EXPECT_EQ(::sendto(socket.Get(), query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(query.size()));
  std::vector<Reply> replies;
  while (Readable(socket.Get(), 300ms)) {
    std::vector<std::uint8_t> buffer(200);
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n = ::recvfrom(socket.Get(), buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n < 0) break;
    buffer.resize(static_cast<std::size_t>(n));
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    replies.push_back(Reply{text, buffer});
  }
  return replies;
}

const std::vector<std::uint8_t> kQuery{0x00, 0x00, 0x00, 0xF6};

TEST(NetDiscovery, EveryAdapterAnswersInOrderFromItsOwnAddress) {
  bool apart = MoreLoopbackAddresses();
  std::vector<std::string> addresses = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};
  if (!apart) addresses = {"127.0.0.1", "127.0.0.1", "127.0.0.1"};
  std::string text = "port net discovery=127.0.0.1:0\n";
  for (const std::string& address : addresses) text += "motor listen=" + address + ":0\n";
  auto simulator = StartScenario(text);
  ASSERT_TRUE(simulator);
  auto responder = simulator->DiscoveryEndpoint(0);
  ASSERT_TRUE(responder);
  EXPECT_NE(responder->port, 0);

  std::vector<Reply> replies = Discover(*responder, kQuery);
  ASSERT_EQ(replies.size(), 3u);
  for (std::size_t i = 0; i < replies.size(); ++i) {
    EXPECT_EQ(replies[i].from, addresses[i]);
    ASSERT_EQ(replies[i].bytes.size(), 30u);
    EXPECT_EQ(std::vector<std::uint8_t>(replies[i].bytes.begin(), replies[i].bytes.begin() + 4),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0xF7}));
  }
  // The adapters' own TCP listeners are on those addresses too.
  TcpClient client(simulator->AdapterEndpoint(0, 2));
  ASSERT_TRUE(client.Connected());
  EXPECT_TRUE(client.Send("\x80RP\r"));
  EXPECT_EQ(client.Receive(), "0\r");
  // Nothing else is a query.
  EXPECT_TRUE(Discover(*responder, {0x00, 0x00, 0x00, 0xF7}).empty());
  EXPECT_TRUE(Discover(*responder, {0x00, 0x00, 0x00, 0xF6, 0x00}).empty());
  if (!apart) {
    GTEST_SKIP() << "loopback addresses beyond 127.0.0.1 cannot be bound here: all three adapters ran on "
                    "127.0.0.1, so only the order of the replies was checked, not their senders";
  }
}

TEST(NetDiscovery, FaultyAdaptersReplyAsTold) {
  auto simulator = StartScenario(
      "port net discovery=127.0.0.1:0\n"
      "motor\nmotor\nmotor\nmotor\nmotor\n"
      "fault motor=2 discovery-reply=short\n"
      "fault motor=3 discovery-reply=long\n"
      "fault motor=4 discovery-reply=query\n"
      "fault motor=5 discovery-reply=none\n");
  ASSERT_TRUE(simulator);
  std::vector<Reply> replies = Discover(*simulator->DiscoveryEndpoint(0), kQuery);
  ASSERT_EQ(replies.size(), 4u);
  EXPECT_EQ(replies[0].bytes.size(), 30u);
  EXPECT_EQ(replies[1].bytes.size(), 29u);
  EXPECT_EQ(replies[2].bytes.size(), 31u);
  ASSERT_EQ(replies[3].bytes.size(), 30u);
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(replies[i].bytes[3], 0xF7) << i;
  EXPECT_EQ(replies[3].bytes[3], 0xF6);
  EXPECT_NE(simulator->Describe().at(5).find("discovery-reply=none"), std::string::npos);
}

class UsbAdapters : public ::testing::Test {
 protected:
  velkor::testing::TemporaryFolder folder_;
  const std::filesystem::path list_ = folder_ / "devices";
};

TEST_F(UsbAdapters, ListedWhileRunningAndEachAPort) {
  velkor::testing::WriteFile(list_, "Someone Else's\tX1\t/dev/ttyUSB9\n");
  {
    auto simulator = StartScenario(
        "port usb\n"
        "motor serial=A2001 address=2\n"
        "motor usb-serial=VX42 description=\"Other USB Thing\"\n",
        SimulatorOptions{nullptr, {}, list_});
    ASSERT_TRUE(simulator);
    EXPECT_EQ(simulator->UsbDeviceListFile(), list_);
    const std::string& first = simulator->UsbDevicePath(0, 0);
    const std::string& second = simulator->UsbDevicePath(0, 1);
    EXPECT_NE(first, second);
    EXPECT_EQ(velkor::testing::ReadFile(list_), "Someone Else's\tX1\t/dev/ttyUSB9\n"
                                                "Varnex(TM) USB Interface\tA2001\t" + first + "\n"
                                                "Other USB Thing\tVX42\t" + second + "\n");

    // A motor alone behind its adapter, echo off, at its own rate.
    testing::HostPort host(first, B9600);
    ASSERT_TRUE(host.IsOpen());
    EXPECT_TRUE(testing::Answers(host, 2, "RP", "0\r"));
    EXPECT_TRUE(testing::Answers(host, 0, "BAUD38400", ""));
    host.SetSpeed(B38400);
    EXPECT_TRUE(testing::Answers(host, 2, "RADDR", "2\r"));
    EXPECT_EQ(simulator->WithMotor(0, 0, [](Firmware& motor) { return motor.Address(); }), 2);
  }
  EXPECT_EQ(velkor::testing::ReadFile(list_), "Someone Else's\tX1\t/dev/ttyUSB9\n");
}

TEST_F(UsbAdapters, ListFileGoesWhenNothingElseIsInIt) {
  {
    auto simulator = StartScenario("port usb\nmotor\n", SimulatorOptions{nullptr, {}, list_});
    ASSERT_TRUE(simulator);
    EXPECT_TRUE(std::filesystem::exists(list_));
  }
  EXPECT_FALSE(std::filesystem::exists(list_));
  // Without a file to write the devices are served all the same.
  auto simulator = StartScenario("port usb\nmotor\n", SimulatorOptions{nullptr, {}, std::filesystem::path()});
  ASSERT_TRUE(simulator);
  EXPECT_TRUE(simulator->UsbDeviceListFile().empty());
  testing::HostPort host(simulator->UsbDevicePath(0, 0));
  EXPECT_TRUE(testing::Answers(host, 0, "RP", "0\r"));
}

// Their refusals are among the scenario parser's.
TEST(AdapterScenarios, DefaultsOfTheirKeys) {
  ScenarioParse parsed =
      ParseScenario("port net\nmotor listen=127.0.0.2\nmotor listen=127.0.0.2:4000\nport usb\nmotor\n");
  ASSERT_TRUE(parsed.errors.empty());
  const PortScenario& net = parsed.scenario.ports[0];
  EXPECT_EQ(net.discovery, (NetEndpoint{"127.0.0.1", kDiscoveryPort}));
  EXPECT_EQ(net.adapters[0].listen, (NetEndpoint{"127.0.0.2", kAdapterPort}));
  EXPECT_EQ(net.adapters[1].listen, (NetEndpoint{"127.0.0.2", 4000}));
  EXPECT_FALSE(net.motors[0].config.echo);
  EXPECT_EQ(parsed.scenario.ports[1].adapters[0].usbDescription, "Varnex(TM) USB Interface");
}

}  // namespace
}  // namespace velkor::sim
