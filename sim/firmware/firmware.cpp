#include "sim/firmware/firmware.h"

#include <vector>

#include "sim/firmware/expression.h"

namespace velkor::sim {
namespace {

constexpr std::size_t kLineLimit = 255;

bool IsAutoClockFirmware(std::string_view version) {
  return version.starts_with("416") || version.starts_with("476");
}

// In host mode these open a 5-byte packet: position, clock, and the status
// answer of a motor further up a chain passing through.
bool IsPacketStart(std::uint8_t byte) { return byte == 0xF9 || byte == 0xFA || byte == 0xFB; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Blanks inside double quotes belong to the string: PRINT("a b").
std::vector<std::string_view> SplitTokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  std::size_t at = 0;
  while (at < line.size()) {
    while (at < line.size() && IsBlank(line[at])) ++at;
    std::size_t start = at;
    bool quoted = false;
    while (at < line.size() && (quoted || !IsBlank(line[at]))) {
      if (line[at] == '"') quoted = !quoted;
      ++at;
    }
    if (at > start) tokens.push_back(line.substr(start, at - start));
  }
  return tokens;
}

}  // namespace

Firmware::Firmware(const MotorConfig& config)
    : config_(config), host_(config.hostSlots, IsAutoClockFirmware(config.firmware)) {
  address_ = config.address;
  auto wired = static_cast<std::size_t>(config.channel == 1 ? 1 : 0);
  config_.channel = static_cast<int>(wired);
  format_[wired].baud = config.baud;
  echo_[wired] = config.echo;
  inputs_ = config.inputs;
  drive_off_ = !config.driveOn;
  WriteFactoryImage(config_, memory_);
  if (!config.program.empty()) LoadImage(config.program, false);
  // A motor runs its stored program at power-up.
  if (config.autorun) StartProgram();
}

ReceiveResult Firmware::Receive(std::uint8_t byte) {
  ReceiveResult result;
  host_spoke_ = true;
  result.echoed = echo_[static_cast<std::size_t>(config_.channel)];
  if (loading_) {
    // Raw image bytes: no commands, no address bytes, until the end marker.
    if (receiver_.Take(byte)) FinishLoad();
    return result;
  }
  if (packet_kind_ != 0) {
    // Packet data is raw: bytes of 128 and above are no address bytes here.
    TakePacketByte(byte, false);
    return result;
  }
  if (StrayMarker(byte)) return result;
  if (host_mode_ && IsPacketStart(byte)) {
    // Addressed by the address byte before it; it leaves the selection alone.
    packet_kind_ = byte;
    packet_bytes_ = 0;
    packet_value_ = 0;
    packet_spoiled_ = false;
    line_.clear();
    return result;
  }
  if (byte >= 128) {
    // An address byte: selection holds until the next one.
    int wanted = byte - 128;
    selected_ = wanted == 0 || wanted == address_;
    line_.clear();
    result.addressByte = true;
    return result;
  }
  if (byte == '\r') {
    std::string line;
    line.swap(line_);
    if (selected_) {
      if (received_lines_.size() == kReceivedLines) received_lines_.pop_front();
      received_lines_.push_back(line);
      ExecuteLine(line, result.answer);
    }
    if (load_after_line_) {
      load_after_line_ = false;
      loading_ = true;
    }
    return result;
  }
  if (line_.size() >= kLineLimit) {
    // An overlong line is thrown away whole rather than run in part.
    line_.clear();
    CommandFailed();
    return result;
  }
  line_.push_back(static_cast<char>(byte));
  return result;
}

ReceiveResult Firmware::ReceiveGarbled() {
  ReceiveResult result;
  result.echoed = echo_[static_cast<std::size_t>(config_.channel)];
  marker_bytes_ = 0;
  if (loading_) {
    receiver_.Spoil();
  } else if (packet_kind_ != 0) {
    TakePacketByte(0, true);
  } else {
    line_.assign(1, '\x01');  // a framing error spoils the command it falls into
  }
  return result;
}

std::string Firmware::Command(std::string_view text) {
  std::string answers;
  for (char c : text) answers += Receive(static_cast<std::uint8_t>(c)).answer;
  answers += Receive('\r').answer;
  return answers;
}

void Firmware::AdvanceTo(std::chrono::nanoseconds now) {
  if (now <= now_) return;
  AdvanceProgramTo(now);
  AdvanceMotionTo(now);
}

void Firmware::AdvanceMotionTo(std::chrono::nanoseconds now) {
  if (now <= now_) return;
  AdvanceMotion(now - now_);
  now_ = now;
}

char Firmware::Mode() const {
  if (drive_off_) return 'O';
  if (position_error_ || over_temperature_) return 'E';
  if (host_mode_) return 'H';
  if (chosen_mode_ == 'P' && relative_move_) return 'R';
  return chosen_mode_;
}

void Firmware::ExecuteLine(std::string_view line, std::string& answer) {
  if (!line.empty() && line[0] == '\x01') {
    CommandFailed();
    return;
  }
  std::vector<std::string_view> tokens = SplitTokens(line);
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    std::string_view argument = i + 1 < tokens.size() ? tokens[i + 1] : std::string_view{};
    bool usedArgument = false;
    ExecuteToken(tokens[i], argument, usedArgument, answer);
    if (usedArgument) ++i;
  }
}

void Firmware::ExecuteToken(std::string_view token, std::string_view argument, bool& usedArgument,
                            std::string& answer) {
  auto wired = static_cast<std::size_t>(config_.channel);
  if (token == "WAKE" || token == "WAKE1") {
    asleep_[token == "WAKE" ? 0 : 1] = false;
    return;
  }
  if (asleep_[wired] && !in_program_) return;  // sleep closes the ears, not the program
  if (token == "IFX") {
    holding_ = false;
    return;
  }
  auto compare = [this](std::string_view condition) {
    auto result = EvaluateComparison(condition, [this](std::string_view n) { return ValueOf(n); });
    if (result) {
      compare_true_ = *result;
    } else {
      CommandFailed();
    }
  };
  if (token == "CMP") {
    usedArgument = true;  // "CMP dd==5": the condition is the next word
    if (!holding_) compare(argument);
    return;
  }
  if (holding_) return;
  if (token.starts_with("CMP")) {
    compare(token.substr(3));
    return;
  }
  if (token == "IFF") {
    holding_ = compare_true_;
    return;
  }
  if (ExecuteHostMode(token, answer) || ExecuteProgram(token, answer) || ExecuteOutput(token, answer) ||
      ExecuteControl(token) ||
      ExecuteMotion(token) || ExecuteMemory(token)) {
    return;
  }
  if (token.find('=') != std::string_view::npos) {
    if (!ExecuteAssignment(token)) CommandFailed();
    return;
  }
  if (token.size() > 1 && token[0] == 'R') {
    if (!ExecuteReport(token.substr(1), answer)) CommandFailed();
    return;
  }
  CommandFailed();
}

bool Firmware::ExecuteControl(std::string_view token) {
  auto number = [&](std::size_t skip) { return ParseNumber(token.substr(skip)); };
  if (token == "ECHO" || token == "ECHO1") {
    echo_[token == "ECHO" ? 0 : 1] = true;
  } else if (token == "ECHO_OFF" || token == "ECHO_OFF1") {
    echo_[token == "ECHO_OFF" ? 0 : 1] = false;
  } else if (token == "SLEEP" || token == "SLEEP1") {
    asleep_[token == "SLEEP" ? 0 : 1] = true;
  } else if (token.starts_with("SADDR")) {
    auto value = number(5);
    if (!value || *value < 0 || *value > 127) {
      CommandFailed();
    } else {
      address_ = *value;
    }
  } else if (token.starts_with("BAUD")) {
    auto value = number(4);
    static constexpr int kRates[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};
    bool known = false;
    for (int rate : kRates) known = known || (value && *value == rate);
    if (!known) {
      CommandFailed();
    } else {
      format_[0].baud = *value;
      rate_changes_.push_back(*value);
    }
  } else if (token.starts_with("OCHN(") && token.ends_with(")")) {
    // OCHN(type,channel,parity,rate,stop bits,data bits,mode)
    std::vector<std::string_view> fields;
    std::string_view inner = token.substr(5, token.size() - 6);
    std::size_t start = 0;
    for (std::size_t at = 0; at <= inner.size(); ++at) {
      if (at == inner.size() || inner[at] == ',') {
        fields.push_back(inner.substr(start, at - start));
        start = at + 1;
      }
    }
    auto channel = fields.size() == 7 ? ParseNumber(fields[1]) : std::nullopt;
    auto rate = fields.size() == 7 ? ParseNumber(fields[3]) : std::nullopt;
    if (!channel || !rate || (*channel != 0 && *channel != 1) || *rate <= 0 || fields[2].size() != 1 ||
        (fields[0] != "RS2" && fields[0] != "RS4")) {
      CommandFailed();
    } else {
      auto& format = format_[static_cast<std::size_t>(*channel)];
      format.baud = *rate;
      format.parity = fields[2][0];
    }
  } else {
    return false;
  }
  return true;
}

}  // namespace velkor::sim
