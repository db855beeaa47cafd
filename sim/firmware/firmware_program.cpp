// Program commands of the firmware model: download, checksum, upload, and
// running the stored program through the command interpreter.
#include <vector>

#include "sim/firmware/expression.h"
#include "sim/firmware/firmware.h"

namespace velkor::sim {
namespace {

// A program without jumps ends by itself; the bound keeps a motor from
// hanging the line should that ever change.
constexpr int kStatementLimit = 100000;

// "a,"x,y",#13" -> a | "x,y" | #13
std::vector<std::string_view> SplitItems(std::string_view list) {
  std::vector<std::string_view> items;
  std::size_t start = 0;
  bool quoted = false;
  for (std::size_t at = 0; at <= list.size(); ++at) {
    if (at < list.size() && list[at] == '"') quoted = !quoted;
    if (at == list.size() || (list[at] == ',' && !quoted)) {
      items.push_back(list.substr(start, at - start));
      start = at + 1;
    }
  }
  return items;
}

}  // namespace

bool Firmware::ExecuteProgram(std::string_view token, std::string& answer) {
  bool compiled = token == "LOADC" || token == "RCKSC" || token == "UPLOADC";
  if (compiled && !Servo()) {
    CommandFailed();  // only servo firmware keeps a compiled program
    return true;
  }
  if (token == "LOAD" || token == "LOADC") {
    if (running_) {
      CommandFailed();
    } else {
      load_after_line_ = true;
      load_compiled_ = compiled;
    }
  } else if (token == "RCKS" || token == "RCKSC") {
    answer += config_.hasEeprom ? Program(compiled).ChecksumAnswer() : std::string(" P");
    answer += '\r';
  } else if (token == "UPLOAD" || token == "UPLOADC" || token == "UP") {
    if (config_.hasEeprom) answer += Program(compiled).Body();
    answer += '\xFF';
  } else if (token == "RUN") {
    if (!running_) RunProgram(answer);
  } else if (token == "END") {
    program_ended_ = running_;
  } else if (token.starts_with("PRINT(") || token.starts_with("PRINT1(")) {
    if (!Print(token, answer)) CommandFailed();
  } else {
    return false;
  }
  return true;
}

void Firmware::RunProgram(std::string& answer) {
  // A program that fails its checksum is not run: it may be any bytes at all.
  if (!config_.hasEeprom || !plain_program_.Passes()) return;
  running_ = true;
  program_ended_ = false;
  statements_left_ = kStatementLimit;
  const std::string body = plain_program_.Body();
  std::size_t start = 0;
  while (start < body.size() && !program_ended_ && statements_left_ > 0) {
    std::size_t end = body.find('\n', start);
    if (end == std::string::npos) end = body.size();
    ExecuteLine(std::string_view(body).substr(start, end - start), answer);
    start = end + 1;
  }
  running_ = false;
  program_ended_ = false;
}

bool Firmware::Print(std::string_view token, std::string& answer) {
  bool second = token.starts_with("PRINT1(");
  if (!token.ends_with(")")) return false;
  std::size_t open = token.find('(');
  std::string_view list = token.substr(open + 1, token.size() - open - 2);
  std::string text;
  for (std::string_view item : SplitItems(list)) {
    if (item.size() >= 2 && item.front() == '"' && item.back() == '"') {
      text += item.substr(1, item.size() - 2);
    } else if (item.starts_with("#")) {
      auto code = ParseNumber(item.substr(1));
      if (!code || *code < 0 || *code > 255) return false;
      text.push_back(static_cast<char>(*code));
    } else {
      auto value = EvaluateExpression(item, [this](std::string_view n) { return ValueOf(n); });
      if (!value) return false;
      text += std::to_string(*value);
    }
  }
  // Each channel prints on its own line; the host hears the one it is wired to.
  if ((second ? 1 : 0) == config_.channel) answer += text;
  return true;
}

void Firmware::FinishLoad() {
  loading_ = false;
  StoredProgram program = receiver_.Finish();
  // Without program memory the image goes nowhere.
  if (config_.hasEeprom) (load_compiled_ ? compiled_program_ : plain_program_) = std::move(program);
}

bool Firmware::LoadImage(std::string_view image, bool compiled) {
  if (!config_.hasEeprom || (compiled && !Servo())) return false;
  if (image.ends_with(kImageEnd)) image.remove_suffix(kImageEnd.size());
  (compiled ? compiled_program_ : plain_program_) = StoredProgram::FromImage(image);
  return true;
}

bool Firmware::StrayMarker(std::uint8_t byte) {
  // The host sends the end marker twice when clearing a program: outside a
  // load the second one must not leave the motor deselected (0xFF would
  // otherwise select address 127), so it changes nothing at all.
  if (byte == 0xFF) {
    if (marker_bytes_ == 0) selected_before_marker_ = selected_;
    marker_bytes_ = marker_bytes_ == 0 ? 1 : 2;
    return false;  // taken as an address byte until the marker is complete
  }
  bool complete = byte == 0x20 && marker_bytes_ == 2;
  marker_bytes_ = 0;
  if (complete) selected_ = selected_before_marker_;
  return complete;
}

}  // namespace velkor::sim
