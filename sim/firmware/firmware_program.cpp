// Program commands of the firmware model: download, checksum, upload, and
// running the stored program, statement by statement in simulated time.
#include <algorithm>
#include <vector>

#include "sim/firmware/expression.h"
#include "sim/firmware/firmware.h"

namespace velkor::sim {
namespace {

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

// "GOTO12" -> 12 for `keyword` "GOTO".
std::optional<std::uint32_t> JumpLabel(std::string_view token, std::string_view keyword) {
  if (!token.starts_with(keyword) || token.size() == keyword.size() || token.size() > keyword.size() + 5) return std::nullopt;
  std::uint32_t label = 0;
  for (char c : token.substr(keyword.size())) {
    if (c < '0' || c > '9') return std::nullopt;
    label = label * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return label;
}

}  // namespace

bool Firmware::ExecuteProgram(std::string_view token, std::string& answer) {
  bool compiled = token == "LOADC" || token == "RCKSC" || token == "UPLOADC";
  if (compiled && !Servo()) {
    CommandFailed();  // only servo firmware keeps a compiled program
    return true;
  }
  if (token == "LOAD" || token == "LOADC") {
    if (machine_.Running()) {
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
    StartProgram();
  } else if (token == "END") {
    machine_.Stop();
  } else if (const auto label = JumpLabel(token, "GOSUB"); label && !in_program_) {
    EnterProgram(*label, true);
  } else if (const auto label = JumpLabel(token, "GOTO"); label && !in_program_) {
    EnterProgram(*label, false);
  } else if (token.starts_with("PRINT(") || token.starts_with("PRINT1(")) {
    if (!Print(token, answer)) CommandFailed();
  } else {
    return false;
  }
  return true;
}

// The firmware as the program sees it.
class Firmware::ProgramSide : public ProgramHost {
 public:
  explicit ProgramSide(Firmware& motor) : motor_(motor) {}
  std::optional<std::int32_t> Evaluate(std::string_view expression) override {
    return EvaluateExpression(expression, [this](std::string_view name) { return motor_.ValueOf(name); });
  }
  void Execute(std::string_view statement) override { motor_.ExecuteLine(statement, motor_.program_output_); }
  void Fault() override { motor_.CommandFailed(); }
  bool TrajectoryInProgress() const override { return motor_.Status('t').value_or(false); }
  std::int64_t Samples() const override { return motor_.ClockSamples(); }
  bool HostSpoke() const override { return motor_.host_spoke_; }

 private:
  Firmware& motor_;
};

void Firmware::StartProgram() {
  // A program that fails its checksum is not run: it may be any bytes at all.
  if (!config_.hasEeprom || !plain_program_.Passes() || plain_program_.Body().empty()) return;
  machine_.Start(plain_program_);
  program_time_ = now_;
}

void Firmware::EnterProgram(std::uint32_t label, bool call) {
  // Like RUN, a jump into a program that fails its checksum goes nowhere.
  const auto address = config_.hasEeprom && plain_program_.Passes() ? plain_program_.LabelAddress(label) : std::nullopt;
  const bool wasRunning = machine_.Running();
  if (!address || !machine_.Enter(plain_program_, *address, call)) {
    CommandFailed();
    return;
  }
  if (!wasRunning) program_time_ = now_;
}

void Firmware::AdvanceProgramTo(std::chrono::nanoseconds now) {
  // A statement takes one base servo sample; the motion moves in step, so
  // that a program sees its own moves progress.
  const std::chrono::nanoseconds statement(std::max<std::int64_t>(1, std::int64_t{config_.samplePeriod} * 10));
  ProgramSide side(*this);
  while (machine_.Running() && program_time_ + statement <= now) {
    std::chrono::nanoseconds next = program_time_ + statement;
    if (const auto until = machine_.WaitingForSample(); until && ClockSamples() < *until) {
      // A long wait is skipped in one go, up to the sample it waits for.
      const std::int64_t period = std::max<std::int64_t>(1, std::int64_t{config_.samplePeriod} * 10 / pid_factor_);
      next = std::max(next, std::min(now, now_ + std::chrono::nanoseconds((*until - ClockSamples()) * period)));
    }
    AdvanceMotionTo(next);
    program_time_ = next;
    in_program_ = true;
    machine_.Step(side);
    in_program_ = false;
  }
  if (!machine_.Running()) program_time_ = now;
}

std::optional<std::chrono::nanoseconds> Firmware::NextProgramWake() const {
  if (!machine_.Running()) return std::nullopt;
  // Often enough for answers to come back promptly, seldom enough to let
  // a looping program cost little.
  return now_ + std::chrono::milliseconds(1);
}

std::string Firmware::TakeProgramOutput() {
  std::string output;
  output.swap(program_output_);
  return output;
}

bool Firmware::ExecuteOutput(std::string_view token, std::string& answer) {
  // "UA=1" .. "UF=0" drive an output; "RUA" .. "RUF" report it.
  const bool report = token.size() == 3 && token[0] == 'R' && token[1] == 'U' && token[2] >= 'A' && token[2] <= 'F';
  const bool assign = token.size() > 3 && token[0] == 'U' && token[1] >= 'A' && token[1] <= 'F' && token[2] == '=';
  if (!report && !assign) return false;
  const int bit = (report ? token[2] : token[1]) - 'A';
  if (report) {
    answer += std::to_string((outputs_ >> bit) & 1);
    answer += '\r';
    return true;
  }
  const auto value = EvaluateExpression(token.substr(3), [this](std::string_view name) { return ValueOf(name); });
  if (!value || (*value != 0 && *value != 1)) {
    CommandFailed();
    return true;
  }
  outputs_ = static_cast<std::uint8_t>(*value ? (outputs_ | (1u << bit)) : (outputs_ & ~(1u << bit)));
  return true;
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
