// IVNXComm: motors behind network serial adapters, found by the adapters'
// discovery query or added by address.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/chain/chain.h"
#include "engine/core/errors.h"
#include "engine/core/log.h"
#include "engine/host/comm_guard.h"
#include "engine/host/host_object.h"
#include "engine/link/net_connection.h"
#include "velkor/bstr.h"

namespace velkor::engine {

namespace {

constexpr std::int32_t kUdpOpenTimeout = 1000;
constexpr std::int32_t kConnectTimeout = 1000;
constexpr std::size_t kMaxDevices = 100;
constexpr std::size_t kLongestDatagram = 200;
constexpr int kEmptyPolls = 10;
constexpr auto kPollPause = std::chrono::milliseconds(100);
constexpr std::size_t kReplySize = 30;
const std::string kQuery{'\x00', '\x00', '\x00', '\xF6'};
const std::string kReplyStart{'\x00', '\x00', '\x00', '\xF7'};

bool IsReply(const std::string& datagram) {
  return datagram.size() == kReplySize && datagram.compare(0, kReplyStart.size(), kReplyStart) == 0;
}

// A refusal: the result code, or the error when the flags ask for errors.
std::int32_t Refuse(LONG flags, std::int32_t result, ErrorCode error) {
  if (flags & scan_flag::kRaise) throw CVNXException(error);
  return result;
}

// What kept the discovery query from going out, in the system's words, so
// that a user can tell a firewall from a busy port or a wrong address.
CVNXException DiscoveryFailure(const std::string& what, const NetConnection& socket) {
  const int error = socket.LastSystemError();
  const std::string reason = error != 0 ? std::strerror(error) : "no answer from the system in time";
  const std::string detail = what + ": " + reason;
  log::Write(log::kComm, "Network discovery failed, " + detail);
  const std::string message(ErrorMessageFormat(static_cast<std::uint32_t>(ErrorCode::NetworkError)));
  return CVNXException(static_cast<std::uint32_t>(ErrorCode::NetworkError), message + " (" + detail + ")",
                       static_cast<std::uint32_t>(error));
}

// The adapters answer the query to the port it came from. The replies are
// read on a second socket bound to that same port, which the system hands
// unicast datagrams to as the one bound last; the first is closed as soon
// as the query is out. Throws what failed.
std::vector<Ipv4Address> QueryAdapters(const HostLink& link) {
  const NetSettings& net = link.settings.net;
  NetConnection broadcast;
  NetConnection listener;
  const std::string localPort = "binding UDP port " + std::to_string(net.discoveryLocalPort);
  if (!broadcast.OpenUdp(net.discoveryLocalPort, true, kUdpOpenTimeout)) throw DiscoveryFailure(localPort, broadcast);
  if (!listener.OpenUdp(broadcast.LocalPort(), false, kUdpOpenTimeout)) throw DiscoveryFailure(localPort, listener);
  if (!broadcast.SendTo(kQuery, net.broadcastAddress, net.discoveryPort)) {
    throw DiscoveryFailure(
        "sending the discovery query to " + net.broadcastAddress + ":" + std::to_string(net.discoveryPort), broadcast);
  }
  broadcast.Close();
  link.Notify(scan_notification::kScanBegins, kEmptyPolls);
  std::vector<Ipv4Address> devices;
  for (int emptyPolls = 0; emptyPolls < kEmptyPolls;) {
    link.Notify(scan_notification::kStep, emptyPolls);  // no cancelling here
    if (auto datagram = listener.ReceiveDatagram(kLongestDatagram)) {
      if (IsReply(datagram->bytes) && devices.size() < kMaxDevices) devices.push_back(datagram->sender);
    } else {
      ++emptyPolls;
      std::this_thread::sleep_for(kPollPause);
    }
  }
  listener.Close();
  link.Notify(scan_notification::kEnd, 0);
  return devices;
}

bool AnswersOnMainChannel(MotorRecord& motor) {
  try {
    motor.ReadVersion();
  } catch (const CVNXException&) {
    return false;  // an unknown version counts as one that is not
  }
  return motor.firmwareVersion.starts_with("46");
}

}  // namespace

HRESULT CVNXHost::InitEthernet(LONG maxAddress) {
  return CommGuard::Do([&] {
    link_->settings.linkType = LinkType::Ethernet;
    link_->settings.maxMotors = maxAddress;
  });
}

HRESULT CVNXHost::DetectNetMotors(LONG maxAddress, LONG flags, LONG* errorCode) {
  return CommGuard::Get(errorCode, [&]() -> LONG {
    if (!link_->IsNetwork()) return Refuse(flags, scan_result::kNetworkFailure, ErrorCode::InvalidData);
    if (maxAddress < 1) return Refuse(flags, scan_result::kNotFound, ErrorCode::InvalidData);
    link_->settings.maxMotors = maxAddress;
    return DiscoverNetMotors(flags);
  });
}

HRESULT CVNXHost::AddNetMotor(BSTR ipAddress, LONG* motorAddress) {
  return CommGuard::Get(motorAddress, [&]() -> LONG {
    const std::string host = BstrToUtf8(ipAddress);
    if (!link_->IsNetwork() || host.empty()) throw CVNXException(ErrorCode::InvalidData);
    const auto address = static_cast<std::int32_t>(motors_.Size()) + 1;
    // A taken slot (a list with a gap) is refused rather than overwritten.
    if (address >= link_->settings.maxMotors || motors_.At(address)) return 0;
    auto motor = ConnectNetMotor(address, host);
    if (!motor) return 0;
    link_->SelectMotor(address);
    return address;
  });
}

std::shared_ptr<MotorRecord> CVNXHost::ConnectNetMotor(std::int32_t address, const std::string& host) {
  auto motor = motors_.Add(address, link_);
  motor->netConnection = std::make_unique<NetConnection>();
  if (!motor->netConnection->Connect(host, link_->settings.net.motorPort, kConnectTimeout)) {
    motors_.Remove(motor);
    return nullptr;
  }
  link_->settings.rs485Channel = AnswersOnMainChannel(*motor) ? 0 : 1;
  return motor;
}

std::int32_t CVNXHost::DiscoverNetMotors(LONG flags) {
  HostLink& link = *link_;
  std::vector<Ipv4Address> devices;
  try {
    devices = QueryAdapters(link);
  } catch (const CVNXException&) {
    if (flags & scan_flag::kRaise) throw;
    return scan_result::kNetworkFailure;
  }
  if (!devices.empty()) {
    motors_.Clear();
    link.Notify(scan_notification::kChainSetupBegins, static_cast<std::intptr_t>(devices.size()));
    link.Notify(scan_notification::kStep, 0);
    std::intptr_t done = 0;
    for (const Ipv4Address& device : devices) {
      std::int32_t address = 1;
      while (motors_.At(address)) ++address;
      // Network motors take the addresses 1 to MaxMotors - 1.
      if (address >= link.settings.maxMotors) break;
      if (!ConnectNetMotor(address, FormatIpv4(device))) {
        link.Notify(scan_notification::kEnd, 0);
        motors_.Clear();
        return Refuse(flags, scan_result::kNetworkFailure, ErrorCode::NetworkError);
      }
      link.Notify(scan_notification::kStep, ++done);
    }
  }
  if (motors_.Empty() && (flags & scan_flag::kRaise)) throw CVNXException(ErrorCode::NoLink);
  link.SelectMotor(0);
  return motors_.Empty() ? scan_result::kNotFound : scan_result::kFound;
}

}  // namespace velkor::engine
