#pragma once
// A running scenario. Serial ports: one pseudo-terminal each, published under
// its COM name while the simulator lives. Network ports: a TCP adapter per
// motor and a discovery responder. USB ports: a pseudo-terminal per motor,
// listed in the USB device list.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/frontend/net_server.h"
#include "sim/frontend/port_directory.h"
#include "sim/frontend/port_server.h"
#include "sim/frontend/usb_device_list.h"
#include "sim/scenario/scenario.h"

namespace velkor::sim {

struct SimulatorOptions {
  // Where serial ports are published; null: reached by device path only.
  // Must outlive the simulator.
  PortDirectory* directory = nullptr;
  // The motors' time, when given (see PortServer::UseClock).
  std::function<SimTime()> clock;
  // The USB device list file. Nothing: the path in $VELKOR_USB_DEVICES, if
  // set, else the USB library's default list; an empty path: no list (the
  // devices are still served).
  std::optional<std::filesystem::path> usbDevices;
};

class Simulator {
 public:
  // Nothing, and the reason in `error`, when a port, listener or name cannot
  // be had.
  static std::unique_ptr<Simulator> Start(const Scenario& scenario, const SimulatorOptions& options,
                                          std::string& error);
  static std::unique_ptr<Simulator> Start(const Scenario& scenario, PortDirectory* directory, std::string& error,
                                          std::function<SimTime()> clock = {}) {
    return Start(scenario, SimulatorOptions{directory, std::move(clock), std::nullopt}, error);
  }
  ~Simulator();  // stops serving, withdraws the published names and USB devices
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Ports are the scenario's port sections, in file order.
  std::size_t PortCount() const { return ports_.size(); }
  Transport PortTransport(std::size_t port) const { return ports_.at(port).transport; }
  std::size_t MotorCount(std::size_t port) const { return ports_.at(port).motors; }
  // Serial ports: the COM name ("" when not published) and the device.
  const std::string& PortName(std::size_t port) const { return ports_.at(port).name; }
  const std::string& DevicePath(std::size_t port) const { return ports_.at(port).device; }
  // Network ports: where a motor's adapter listens, and the discovery
  // responder (nothing when switched off).
  const NetEndpoint& AdapterEndpoint(std::size_t port, std::size_t motor) const {
    return net_.AdapterEndpoint(Place(port, motor, Transport::Net));
  }
  std::optional<NetEndpoint> DiscoveryEndpoint(std::size_t port) const;
  // What the engine needs to find the network adapters: the first discovery
  // responder, and the TCP port when every adapter listens on the same one.
  struct NetworkReach {
    NetEndpoint discovery;
    std::optional<std::uint16_t> motorPort;
  };
  std::optional<NetworkReach> Reach() const;
  // USB ports: a motor's device path, and the list file ("" when none).
  const std::string& UsbDevicePath(std::size_t port, std::size_t motor) const {
    return server_.DevicePath(Place(port, motor, Transport::Usb));
  }
  const std::filesystem::path& UsbDeviceListFile() const { return usb_list_.File(); }

  // Serial ports only: every byte the host has written to the port so far,
  // once the line has taken it (see PortServer::TakeHostBytes).
  std::string TakeHostBytes(std::size_t port) { return server_.TakeHostBytes(Place(port, 0, Transport::Serial)); }
  // Serial ports only: the port's line.
  template <class Use>
  auto WithLine(std::size_t port, Use&& use) {
    return server_.WithLine(Place(port, 0, Transport::Serial), std::forward<Use>(use));
  }
  // The line a motor is on, of any port: on network and USB ports the motor
  // is alone on it.
  template <class Use>
  auto WithMotorLine(std::size_t port, std::size_t motor, Use&& use) {
    const PortPlaces& placed = ports_.at(port);
    if (placed.transport == Transport::Net) return net_.WithLine(placed.places.at(motor), std::forward<Use>(use));
    std::size_t place = placed.places.at(placed.transport == Transport::Serial ? 0 : motor);
    return server_.WithLine(place, std::forward<Use>(use));
  }
  template <class Use>
  auto WithMotor(std::size_t port, std::size_t motor, Use&& use) {
    bool alone = ports_.at(port).transport != Transport::Serial;
    return WithMotorLine(port, motor, [&](Line& line) { return use(line.Motor(alone ? 0 : motor)); });
  }

  // Lines for people: "COM3 /dev/pts/7 chain", "  motor 1: serial A1001 ...".
  std::vector<std::string> Describe() const;

 private:
  struct Token {};  // only Start makes simulators

 public:
  explicit Simulator(Token) {}

 private:
  struct PortPlaces {
    Transport transport = Transport::Serial;
    std::size_t motors = 0;
    // Serial: the one server port; USB: a server port per motor; network: an
    // adapter per motor.
    std::vector<std::size_t> places;
    std::optional<std::size_t> responder;
    std::string name, device;
  };
  // The server port or adapter of a motor; throws when the port is not of
  // that transport.
  std::size_t Place(std::size_t port, std::size_t motor, Transport transport) const;
  bool AddSerial(const PortScenario& port, std::string& error);
  bool AddUsb(const PortScenario& port, std::vector<UsbDevice>& devices, std::string& error);
  bool AddNet(const PortScenario& port, std::string& error);
  void DescribeMotors(const PortScenario& port, const std::vector<std::string>& where);

  PortServer server_;
  NetServer net_;
  PortDirectory* directory_ = nullptr;
  std::vector<PortPlaces> ports_;
  std::vector<std::string> descriptions_;
  UsbDeviceList usb_list_;
};

// "A1001" for a serial number whose top byte is a character, else the number.
std::string SerialText(std::uint32_t serial);

}  // namespace velkor::sim
