#pragma once
// Scenario files: the ports to simulate, how their motors are wired, the
// motors themselves and the faults to inject. The format is described in
// sim/scenarios/README.md.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/lines/line.h"

namespace velkor::sim {

// A serial port with a chain or bus behind it; network adapters, one per
// motor, each with a TCP listener; USB adapters, one pseudo-terminal per motor.
enum class Transport { Serial, Net, Usb };

// A loopback IPv4 address in dotted form and a port; port 0 lets the system
// choose a free one.
struct NetEndpoint {
  std::string address = "127.0.0.1";
  std::uint16_t port = 0;
  bool operator==(const NetEndpoint&) const = default;
};
std::string EndpointText(const NetEndpoint& endpoint);  // "127.0.0.2:10001"

// How a network adapter answers the discovery query; all but Normal are
// faults for tests.
enum class DiscoveryReply { Normal, Short, Long, Query, None };

constexpr std::uint16_t kAdapterPort = 10001;
constexpr std::uint16_t kDiscoveryPort = 30718;
inline constexpr const char* kUsbDescription = "Varnex(TM) USB Interface";

// What a motor behind a network or USB adapter has besides the motor itself.
struct AdapterSetup {
  NetEndpoint listen;  // network adapters
  DiscoveryReply reply = DiscoveryReply::Normal;
  std::string usbDescription = kUsbDescription;  // USB adapters
  std::string usbSerial;  // empty: the motor's serial number as text
};

struct PortScenario {
  Transport transport = Transport::Serial;
  std::optional<int> comNumber;  // "COM3" -> 3; nothing: the first free one
  // Network ports: where the discovery responder listens; nothing: none.
  std::optional<NetEndpoint> discovery;
  Wiring wiring = Wiring::Chain;
  bool pace = false;
  BusCollisions collisions = BusCollisions::Garbage;
  std::vector<MotorSetup> motors;
  std::vector<AdapterSetup> adapters;  // network and USB ports: one per motor
};

struct Scenario {
  std::vector<PortScenario> ports;
};

struct ScenarioError {
  int line;  // 1-based; 0 for the file as a whole
  std::string message;
};

struct ScenarioParse {
  Scenario scenario;
  std::vector<ScenarioError> errors;  // empty when the scenario is usable
};

// Program files named in the text are read relative to `folder` (the
// current directory when it is empty); LoadScenario uses the file's folder.
ScenarioParse ParseScenario(std::string_view text, const std::filesystem::path& folder = {});
ScenarioParse LoadScenario(const std::filesystem::path& file);

// "line 4: unknown key 'baudrate'"
std::string FormatError(const ScenarioError& error);

}  // namespace velkor::sim
