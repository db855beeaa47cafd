#include "sim/frontend/simulator.h"

#include "platform/usbxp/device_list.h"

#include <algorithm>

#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace velkor::sim {

std::string SerialText(std::uint32_t serial) {
  auto top = static_cast<unsigned char>(serial >> 24);
  if (std::isprint(top)) return std::string(1, static_cast<char>(top)) + std::to_string(serial & 0xFFFFFF);
  return std::to_string(serial);
}

namespace {

std::string FaultText(const FaultSet& faults, DiscoveryReply reply) {
  std::string text;
  if (faults.silent) text += " silent";
  if (faults.echoStopsAfter) text += " echo-stops-after=" + std::to_string(*faults.echoStopsAfter);
  if (faults.echoAltersByte) text += " echo-alters-byte=" + std::to_string(*faults.echoAltersByte);
  if (faults.answerDelay.count() > 0) text += " answer-delay=" + std::to_string(faults.answerDelay.count());
  if (faults.dropAfter) text += " drop-after=" + std::to_string(*faults.dropAfter);
  constexpr const char* kReplies[] = {"normal", "short", "long", "query", "none"};
  if (reply != DiscoveryReply::Normal) text += std::string(" discovery-reply=") + kReplies[static_cast<int>(reply)];
  return text.empty() ? text : ", faults:" + text;
}

std::unique_ptr<Line> LineOfOne(const MotorSetup& motor) { return MakeLine(Wiring::Chain, {motor}); }

std::optional<std::filesystem::path> UsbListFile(const SimulatorOptions& options) {
  if (options.usbDevices) {
    if (options.usbDevices->empty()) return std::nullopt;
    return *options.usbDevices;
  }
  const char* named = std::getenv("VELKOR_USB_DEVICES");
  if (!named || !*named) return usbxp::DefaultDeviceListFile();
  return std::filesystem::path(named);
}

}  // namespace

std::unique_ptr<Simulator> Simulator::Start(const Scenario& scenario, const SimulatorOptions& options,
                                            std::string& error) {
  auto simulator = std::make_unique<Simulator>(Token{});
  simulator->directory_ = options.directory;
  if (options.clock) {
    simulator->server_.UseClock(options.clock);
    simulator->net_.UseClock(options.clock);
  }
  std::vector<UsbDevice> devices;
  for (const PortScenario& port : scenario.ports) {
    bool added = port.transport == Transport::Net   ? simulator->AddNet(port, error)
                 : port.transport == Transport::Usb ? simulator->AddUsb(port, devices, error)
                                                    : simulator->AddSerial(port, error);
    if (!added) return nullptr;  // the destructor withdraws what was published so far
  }
  if (auto file = UsbListFile(options); file && !devices.empty()) {
    if (!simulator->usb_list_.Publish(*file, devices, error)) return nullptr;
  }
  if (!simulator->server_.Start(error) || !simulator->net_.Start(error)) return nullptr;
  return simulator;
}

bool Simulator::AddSerial(const PortScenario& port, std::string& error) {
  auto index = server_.AddPort(MakeLine(port.wiring, port.motors, port.collisions), port.pace, error);
  if (!index) return false;
  PortPlaces placed{Transport::Serial, port.motors.size(), {*index}, std::nullopt, "", server_.DevicePath(*index)};
  if (directory_) {
    auto published = directory_->Publish(port.comNumber, placed.device);
    if (!published) {
      error = port.comNumber ? "cannot publish COM" + std::to_string(*port.comNumber) + " (taken or not writable)"
                             : "cannot publish a port name";
      if (auto problem = directory_->Problem()) error += ": " + *problem;
      return false;
    }
    placed.name = *published;
  }
  ports_.push_back(placed);
  descriptions_.push_back((placed.name.empty() ? std::string("-") : placed.name) + " " + placed.device +
                          (port.wiring == Wiring::Chain ? " chain" : " bus") +
                          (port.collisions == BusCollisions::FirstWins ? " dominant" : "") +
                          (port.pace ? " paced" : ""));
  DescribeMotors(port, std::vector<std::string>(port.motors.size()));
  return true;
}

bool Simulator::AddUsb(const PortScenario& port, std::vector<UsbDevice>& devices, std::string& error) {
  PortPlaces placed{Transport::Usb, port.motors.size(), {}, std::nullopt, "", ""};
  std::vector<std::string> where;
  for (std::size_t m = 0; m < port.motors.size(); ++m) {
    auto index = server_.AddPort(LineOfOne(port.motors[m]), port.pace, error);
    if (!index) return false;
    placed.places.push_back(*index);
    const AdapterSetup& adapter = port.adapters.at(m);
    UsbDevice device{adapter.usbDescription,
                     adapter.usbSerial.empty() ? SerialText(port.motors[m].config.serial) : adapter.usbSerial,
                     server_.DevicePath(*index)};
    where.push_back(", usb " + device.path + " \"" + device.description + "\" serial number " + device.serial);
    devices.push_back(std::move(device));
  }
  ports_.push_back(placed);
  descriptions_.push_back(std::string("usb") + (port.pace ? " paced" : ""));
  DescribeMotors(port, where);
  return true;
}

bool Simulator::AddNet(const PortScenario& port, std::string& error) {
  PortPlaces placed{Transport::Net, port.motors.size(), {}, std::nullopt, "", ""};
  std::vector<std::string> where;
  for (std::size_t m = 0; m < port.motors.size(); ++m) {
    const AdapterSetup& adapter = port.adapters.at(m);
    auto index = net_.AddAdapter(LineOfOne(port.motors[m]), adapter.listen, adapter.reply, port.pace, error);
    if (!index) return false;
    placed.places.push_back(*index);
    where.push_back(", tcp " + EndpointText(net_.AdapterEndpoint(*index)));
  }
  std::string heading = "net";
  if (port.discovery) {
    placed.responder = net_.AddResponder(*port.discovery, placed.places, error);
    if (!placed.responder) return false;
    heading += " discovery " + EndpointText(net_.ResponderEndpoint(*placed.responder));
  }
  ports_.push_back(placed);
  descriptions_.push_back(heading);
  DescribeMotors(port, where);
  return true;
}

void Simulator::DescribeMotors(const PortScenario& port, const std::vector<std::string>& where) {
  for (std::size_t m = 0; m < port.motors.size(); ++m) {
    const MotorConfig& c = port.motors[m].config;
    descriptions_.push_back("  motor " + std::to_string(m + 1) + ": serial " + SerialText(c.serial) + ", firmware " +
                            c.firmware + ", model " + c.model + ", address " + std::to_string(c.address) + ", " +
                            std::to_string(c.baud) + " baud" + where.at(m) +
                            FaultText(port.motors[m].faults, port.transport == Transport::Net
                                                                 ? port.adapters.at(m).reply
                                                                 : DiscoveryReply::Normal));
  }
}

std::size_t Simulator::Place(std::size_t port, std::size_t motor, Transport transport) const {
  const PortPlaces& placed = ports_.at(port);
  if (placed.transport != transport) throw std::out_of_range("port " + std::to_string(port) + " is of another kind");
  return placed.places.at(transport == Transport::Serial ? 0 : motor);
}

std::optional<NetEndpoint> Simulator::DiscoveryEndpoint(std::size_t port) const {
  const PortPlaces& placed = ports_.at(port);
  if (!placed.responder) return std::nullopt;
  return net_.ResponderEndpoint(*placed.responder);
}

std::optional<Simulator::NetworkReach> Simulator::Reach() const {
  std::optional<NetworkReach> reach;
  std::vector<std::uint16_t> motorPorts;
  for (std::size_t port = 0; port < ports_.size(); ++port) {
    if (ports_[port].transport != Transport::Net) continue;
    if (auto responder = DiscoveryEndpoint(port); responder && !reach) reach = NetworkReach{*responder, std::nullopt};
    for (std::size_t motor = 0; motor < ports_[port].motors; ++motor)
      motorPorts.push_back(AdapterEndpoint(port, motor).port);
  }
  if (reach && !motorPorts.empty() &&
      std::all_of(motorPorts.begin(), motorPorts.end(), [&](std::uint16_t p) { return p == motorPorts.front(); }))
    reach->motorPort = motorPorts.front();
  return reach;
}

Simulator::~Simulator() {
  server_.Stop();
  net_.Stop();
  if (!directory_) return;
  for (const PortPlaces& placed : ports_) {
    if (!placed.name.empty()) directory_->Withdraw(placed.name, placed.device);
  }
}

std::vector<std::string> Simulator::Describe() const { return descriptions_; }

}  // namespace velkor::sim
