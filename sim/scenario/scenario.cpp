#include "sim/scenario/scenario.h"

#include <arpa/inet.h>

#include <cctype>
#include <charconv>
#include <fstream>
#include <set>
#include <sstream>


namespace velkor::sim {
namespace {

// Blanks inside double quotes belong to the word (description="Some USB Thing").
std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at]))) ++at;
    std::size_t start = at;
    bool quoted = false;
    while (at < line.size() && (quoted || !std::isspace(static_cast<unsigned char>(line[at])))) {
      if (line[at] == '"') quoted = !quoted;
      ++at;
    }
    if (at > start) words.push_back(line.substr(start, at - start));
  }
  return words;
}

std::optional<long long> Integer(std::string_view text, long long low, long long high) {
  long long value = 0;
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  if (text.empty()) return std::nullopt;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<bool> Flag(std::string_view text) {
  if (text == "yes" || text == "on" || text == "1" || text == "true") return true;
  if (text == "no" || text == "off" || text == "0" || text == "false") return false;
  return std::nullopt;
}

// "A1001" (a character and a 24-bit number) or a plain 32-bit number.
std::optional<std::uint32_t> Serial(std::string_view text) {
  if (!text.empty() && std::isalpha(static_cast<unsigned char>(text[0]))) {
    auto low = Integer(text.substr(1), 0, 0xFFFFFF);
    if (!low) return std::nullopt;
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(text[0])) << 24) | static_cast<std::uint32_t>(*low);
  }
  auto value = Integer(text, 0, 0xFFFFFFFFLL);
  if (!value) return std::nullopt;
  return static_cast<std::uint32_t>(*value);
}

// "a,b,c" -> a | b | c
std::vector<std::string_view> Fields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at == text.size() || text[at] == ',') {
      fields.push_back(text.substr(start, at - start));
      start = at + 1;
    }
  }
  return fields;
}

std::optional<std::int32_t> Count(std::string_view text) {
  auto value = Integer(text.starts_with('+') ? text.substr(1) : text, INT32_MIN, INT32_MAX);
  if (!value) return std::nullopt;
  return static_cast<std::int32_t>(*value);
}

// "hardstops=-4000,104000": the shaft powers up between them.
std::optional<HardStops> Stops(std::string_view text) {
  auto fields = Fields(text);
  if (fields.size() != 2) return std::nullopt;
  auto low = Count(fields[0]);
  auto high = Count(fields[1]);
  if (!low || !high || *low > 0 || *high < 0 || *low >= *high) return std::nullopt;
  return HardStops{*low, *high};
}

// "limit=D,100000,+": input, position, side.
std::optional<LimitSwitch> Limit(std::string_view text) {
  auto fields = Fields(text);
  if (fields.size() != 3 || fields[0].size() != 1 || fields[0][0] < 'A' || fields[0][0] > 'G') return std::nullopt;
  auto position = Count(fields[1]);
  if (!position || (fields[2] != "+" && fields[2] != "-")) return std::nullopt;
  return LimitSwitch{fields[0][0], *position, fields[2] == "+" ? 1 : -1};
}

std::string_view Unquoted(std::string_view text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

// "127.0.0.2" (with `defaultPort`) or "127.0.0.2:10001"; loopback only, so
// that no simulated motor is ever reachable from another machine.
std::optional<NetEndpoint> Endpoint(std::string_view text, std::uint16_t defaultPort) {
  NetEndpoint endpoint;
  endpoint.port = defaultPort;
  if (auto colon = text.find(':'); colon != std::string_view::npos) {
    auto port = Integer(text.substr(colon + 1), 0, 65535);
    if (!port) return std::nullopt;
    endpoint.port = static_cast<std::uint16_t>(*port);
    text = text.substr(0, colon);
  }
  in_addr address{};
  std::string dotted(text);
  if (::inet_pton(AF_INET, dotted.c_str(), &address) != 1 || (ntohl(address.s_addr) >> 24) != 127) {
    return std::nullopt;
  }
  endpoint.address = dotted;
  return endpoint;
}

std::optional<DiscoveryReply> ReplyKind(std::string_view text) {
  if (text == "normal") return DiscoveryReply::Normal;
  if (text == "short") return DiscoveryReply::Short;
  if (text == "long") return DiscoveryReply::Long;
  if (text == "query") return DiscoveryReply::Query;
  if (text == "none") return DiscoveryReply::None;
  return std::nullopt;
}

std::optional<std::string> ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Stands for the motor's resolution until its line has been read.
constexpr std::int32_t kIndexAtResolution = -1;

class Parser {
 public:
  explicit Parser(std::filesystem::path folder) : folder_(std::move(folder)) {}

  ScenarioParse Run(std::string_view text) {
    std::size_t start = 0;
    int number = 0;
    while (start <= text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(start, end - start);
      ++number;
      if (auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
      line_ = number;
      auto words = Words(line);
      if (!words.empty()) Directive(words);
      if (end == text.size()) break;
      start = end + 1;
    }
    Finish();
    return std::move(result_);
  }

 private:
  void Error(std::string message) { result_.errors.push_back(ScenarioError{line_, std::move(message)}); }

  void Directive(const std::vector<std::string_view>& words) {
    if (words[0] == "port") {
      Port(words);
    } else if (words[0] == "motor") {
      Motor(words);
    } else if (words[0] == "fault") {
      Fault(words);
    } else {
      Error("unknown directive '" + std::string(words[0]) + "' (expected port, motor or fault)");
    }
  }

  void Port(const std::vector<std::string_view>& words) {
    PortScenario port;
    bool wired = false;
    bool discoveryGiven = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
      std::string_view word = words[i];
      if (word == "net" || word == "usb") {
        port.transport = word == "net" ? Transport::Net : Transport::Usb;
        wired = true;
      } else if (word.starts_with("discovery=")) {
        std::string_view value = word.substr(10);
        discoveryGiven = true;
        if (value != "off") {
          port.discovery = Endpoint(value, kDiscoveryPort);
          if (!port.discovery) {
            Error("bad discovery address '" + std::string(value) + "' (expected 127.x.x.x[:port] or off)");
          }
        }
      } else if (word == "chain" || word == "rs232") {
        port.wiring = Wiring::Chain;
        wired = true;
      } else if (word == "bus" || word == "rs485") {
        port.wiring = Wiring::Bus;
        wired = true;
      } else if (word == "pace") {
        port.pace = true;
      } else if (word == "dominant") {
        port.collisions = BusCollisions::FirstWins;
      } else if (word.size() > 3 && (word.starts_with("COM") || word.starts_with("com"))) {
        auto value = Integer(word.substr(3), 1, 256);
        if (!value) {
          Error("bad port name '" + std::string(word) + "' (expected COM1 to COM256)");
        } else if (!com_numbers_.insert(static_cast<int>(*value)).second) {
          Error("port COM" + std::to_string(*value) + " is named twice");
        } else {
          port.comNumber = static_cast<int>(*value);
        }
      } else {
        Error("unknown port word '" + std::string(word) + "'");
      }
    }
    if (!wired) Error("port needs its wiring: chain, bus, net or usb");
    bool serial = port.transport == Transport::Serial;
    if (!serial && port.comNumber) Error("a COM name is for a serial port");
    if (!serial && port.collisions != BusCollisions::Garbage) Error("'dominant' is for a bus");
    if (port.transport != Transport::Net && discoveryGiven) Error("'discovery' is for a net port");
    if (port.transport == Transport::Net && !discoveryGiven) port.discovery = NetEndpoint{"127.0.0.1", kDiscoveryPort};
    if (wired && serial && port.wiring == Wiring::Chain && port.collisions != BusCollisions::Garbage)
      Error("'dominant' is for a bus; on a chain motors do not send at once");
    result_.scenario.ports.push_back(std::move(port));
    port_line_.push_back(line_);
    echo_given_.emplace_back();
  }

  void Motor(const std::vector<std::string_view>& words) {
    if (result_.scenario.ports.empty()) {
      Error("motor before any port");
      return;
    }
    MotorSetup motor;
    AdapterSetup adapter;
    Transport transport = result_.scenario.ports.back().transport;
    ++motor_count_;
    motor.config.serial = (std::uint32_t{'A'} << 24) | static_cast<std::uint32_t>(1000 + motor_count_);
    bool echoGiven = false;
    for (std::size_t i = 1; i < words.size(); ++i) {
      std::size_t equals = words[i].find('=');
      if (equals == std::string_view::npos) {
        Error("expected key=value, found '" + std::string(words[i]) + "'");
        continue;
      }
      std::string_view key = words[i].substr(0, equals);
      std::string_view value = words[i].substr(equals + 1);
      if (auto known = AdapterKey(adapter, transport, key, value)) {
        if (!*known) Error("bad motor setting '" + std::string(words[i]) + "'");
      } else if (!MotorKey(motor.config, key, value, echoGiven)) {
        Error("bad motor setting '" + std::string(words[i]) + "'");
      }
    }
    if (motor.config.mechanics.indexSpacing == kIndexAtResolution) {
      motor.config.mechanics.indexSpacing = motor.config.resolution;
      if (motor.config.resolution <= 0) Error("index=yes needs a resolution above 0");
    }
    result_.scenario.ports.back().motors.push_back(motor);
    if (transport != Transport::Serial) result_.scenario.ports.back().adapters.push_back(adapter);
    echo_given_.back().push_back(echoGiven);
  }

  // Nothing when `key` is no adapter key; else whether it was good here.
  std::optional<bool> AdapterKey(AdapterSetup& adapter, Transport transport, std::string_view key,
                                 std::string_view value) {
    if (key == "listen") {
      auto endpoint = Endpoint(value, kAdapterPort);
      if (endpoint) adapter.listen = *endpoint;
      return transport == Transport::Net && endpoint.has_value();
    }
    if (key == "usb-serial" || key == "description") {
      value = Unquoted(value);
      // The device list separates its fields by tabs and its devices by lines.
      bool fits = !value.empty() && value.find_first_of("\t\r\n\"") == std::string_view::npos;
      if (fits) (key == "description" ? adapter.usbDescription : adapter.usbSerial) = std::string(value);
      return transport == Transport::Usb && fits;
    }
    return std::nullopt;
  }

  bool MotorKey(MotorConfig& config, std::string_view key, std::string_view value, bool& echoGiven) {
    if (key == "serial") {
      auto serial = Serial(value);
      if (serial) config.serial = *serial;
      return serial.has_value();
    }
    if (key == "firmware" || key == "model") {
      if (value.empty() || value.size() > 30) return false;
      (key == "firmware" ? config.firmware : config.model) = std::string(value);
      return true;
    }
    if (key == "drive") {
      if (value != "on" && value != "off") return false;
      config.driveOn = value == "on";
      return true;
    }
    if (key == "program") {
      // An image file, as the compiler writes it; it becomes the stored
      // plain program.
      auto image = value.empty() ? std::nullopt : ReadFile(folder_ / std::filesystem::path(value));
      if (image) config.program = std::move(*image);
      return image.has_value();
    }
    if (key == "hostmode" || key == "autorun") {
      auto flag = Flag(value);
      if (flag) (key == "hostmode" ? config.hostMode : config.autorun) = *flag;
      return flag.has_value();
    }
    if (key == "hardstops") {
      auto stops = Stops(value);
      if (stops) config.mechanics.hardStops = *stops;
      return stops.has_value();
    }
    if (key == "limit") {
      // One switch per key; a motor may have several.
      auto limit = Limit(value);
      if (limit) config.mechanics.limitSwitches.push_back(*limit);
      return limit.has_value();
    }
    if (key == "index") {
      // A spacing in counts (0: none), or "yes": a pulse per revolution,
      // known once the whole line is read.
      auto spacing = Integer(value, 0, INT32_MAX);
      auto flag = spacing ? std::nullopt : Flag(value);
      if (spacing) config.mechanics.indexSpacing = static_cast<std::int32_t>(*spacing);
      if (flag) config.mechanics.indexSpacing = *flag ? kIndexAtResolution : 0;
      return spacing || flag;
    }
    if (key == "eeprom" || key == "echo") {
      auto flag = Flag(value);
      if (!flag) return false;
      (key == "eeprom" ? config.hasEeprom : config.echo) = *flag;
      echoGiven = echoGiven || key == "echo";
      return true;
    }
    struct Range {
      std::string_view key;
      long long low, high;
    };
    static constexpr Range kRanges[] = {{"resolution", 0, 0x7FFFFFFF}, {"sample", 1, 0x7FFFFFFF},
                                        {"address", 0, 127},           {"baud", 300, 230400},
                                        {"channel", 0, 1},             {"inputs", 0, 127},
                                        {"slots", 1, 127}};
    for (const Range& range : kRanges) {
      if (key != range.key) continue;
      auto number = Integer(value, range.low, range.high);
      if (!number) return false;
      int n = static_cast<int>(*number);
      if (key == "resolution") config.resolution = n;
      if (key == "sample") config.samplePeriod = n;
      if (key == "address") config.address = n;
      if (key == "baud") config.baud = n;
      if (key == "channel") config.channel = n;
      if (key == "inputs") config.inputs = static_cast<std::uint8_t>(n);
      if (key == "slots") config.hostSlots = n;
      return true;
    }
    return false;
  }

  void Fault(const std::vector<std::string_view>& words) {
    if (result_.scenario.ports.empty()) {
      Error("fault before any port");
      return;
    }
    auto& motors = result_.scenario.ports.back().motors;
    if (words.size() < 3 || !words[1].starts_with("motor=")) {
      Error("expected: fault motor=N KIND[=VALUE]...");
      return;
    }
    auto index = Integer(words[1].substr(6), 1, static_cast<long long>(motors.size()));
    if (!index) {
      Error("fault names motor '" + std::string(words[1].substr(6)) + "', but this port has " +
            std::to_string(motors.size()) + " motor(s) so far");
      return;
    }
    FaultSet& faults = motors[static_cast<std::size_t>(*index - 1)].faults;
    PortScenario& port = result_.scenario.ports.back();
    for (std::size_t i = 2; i < words.size(); ++i) {
      std::string_view word = words[i];
      std::size_t equals = word.find('=');
      std::string_view kind = word.substr(0, equals);
      std::optional<long long> number;
      if (equals != std::string_view::npos) number = Integer(word.substr(equals + 1), 0, 1'000'000);
      if (kind == "silent" && equals == std::string_view::npos) {
        faults.silent = true;
      } else if (kind == "echo-stops-after" && number) {
        faults.echoStopsAfter = static_cast<int>(*number);
      } else if (kind == "echo-alters-byte" && number && *number >= 1) {
        faults.echoAltersByte = static_cast<int>(*number);
      } else if (kind == "answer-delay" && number) {
        faults.answerDelay = std::chrono::milliseconds(*number);
      } else if (kind == "drop-after" && number) {
        faults.dropAfter = static_cast<int>(*number);
      } else if (kind == "discovery-reply" && port.transport == Transport::Net && equals != std::string_view::npos &&
                 ReplyKind(word.substr(equals + 1))) {
        port.adapters[static_cast<std::size_t>(*index - 1)].reply = *ReplyKind(word.substr(equals + 1));
      } else {
        Error("bad fault '" + std::string(word) + "'");
      }
    }
  }

  void Finish() {
    auto& ports = result_.scenario.ports;
    if (ports.empty() && result_.errors.empty()) {
      line_ = 0;
      Error("no port in the scenario");
    }
    for (std::size_t p = 0; p < ports.size(); ++p) {
      if (ports[p].motors.empty()) {
        line_ = port_line_[p];
        Error("port has no motor");
      }
      // Motors on a bus come up quiet unless told otherwise: echoing motors
      // would answer every byte at once. An adapter's line is one motor with
      // its echo off, as the host sets it up there.
      bool echoes = ports[p].transport == Transport::Serial && ports[p].wiring == Wiring::Chain;
      for (std::size_t m = 0; m < ports[p].motors.size(); ++m) {
        if (!echo_given_[p][m]) ports[p].motors[m].config.echo = echoes;
      }
      ListenersApart(p);
    }
  }

  // Two listeners cannot share an address and port; port 0 is always free.
  void ListenersApart(std::size_t p) {
    const PortScenario& port = result_.scenario.ports[p];
    for (std::size_t m = 0; m < port.adapters.size() && port.transport == Transport::Net; ++m) {
      const NetEndpoint& at = port.adapters[m].listen;
      if (at.port != 0 && !listeners_.insert(EndpointText(at)).second) {
        line_ = port_line_[p];
        Error("two adapters listen on " + EndpointText(at));
      }
    }
  }

  std::filesystem::path folder_;
  ScenarioParse result_;
  std::set<std::string> listeners_;
  int line_ = 0;
  int motor_count_ = 0;
  std::set<int> com_numbers_;
  std::vector<int> port_line_;
  std::vector<std::vector<bool>> echo_given_;
};

}  // namespace

std::string EndpointText(const NetEndpoint& endpoint) {
  return endpoint.address + ":" + std::to_string(endpoint.port);
}

ScenarioParse ParseScenario(std::string_view text, const std::filesystem::path& folder) {
  return Parser(folder).Run(text);
}

ScenarioParse LoadScenario(const std::filesystem::path& file) {
  auto text = ReadFile(file);
  if (!text) {
    ScenarioParse failed;
    failed.errors.push_back(ScenarioError{0, "cannot read " + file.string()});
    return failed;
  }
  return ParseScenario(*text, file.parent_path());
}

std::string FormatError(const ScenarioError& error) {
  if (error.line == 0) return error.message;
  return "line " + std::to_string(error.line) + ": " + error.message;
}

}  // namespace velkor::sim
