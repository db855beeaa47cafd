#include "sim/firmware/program_machine.h"

#include <algorithm>
#include <cctype>

#include "sim/firmware/expression.h"

namespace velkor::sim {
namespace {

// A return to here stops the program: the host called into one that was not running.
constexpr std::size_t kStopOnReturn = static_cast<std::size_t>(-1);

bool Separator(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; }

// "C12": a label, which marks a place and does nothing.
bool IsLabel(std::string_view word) {
  return word.size() > 1 && word[0] == 'C' &&
         std::all_of(word.begin() + 1, word.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

}  // namespace

void ProgramMachine::Start(const StoredProgram& program) {
  body_ = program.Body();
  jumps_.clear();
  for (const StoredJump& jump : program.Jumps()) jumps_[jump.at] = jump;
  counter_ = 0;
  returns_.clear();
  switches_.clear();
  waitUntil_.reset();
  waitForTrajectory_ = false;
  overflowed_ = false;
  running_ = true;
}

void ProgramMachine::Stop() {
  running_ = false;
  waitUntil_.reset();
  waitForTrajectory_ = false;
}

bool ProgramMachine::Enter(const StoredProgram& program, std::uint16_t address, bool call) {
  std::size_t back = kStopOnReturn;
  if (!running_) {
    Start(program);
  } else {
    // A wait cut short by the call is waited again afterwards.
    back = waitUntil_ || waitForTrajectory_ ? waitAt_ : counter_;
    waitUntil_.reset();
    waitForTrajectory_ = false;
  }
  if (call) {
    if (returns_.size() == kReturnDepth) return false;
    returns_.push_back(back);
  }
  counter_ = address;
  return true;
}

int ProgramMachine::Line() const {
  const std::size_t end = std::min(counter_, body_.size());
  return 1 + static_cast<int>(std::count(body_.begin(), body_.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
}

std::string_view ProgramMachine::WordAt(std::size_t at) const {
  std::size_t end = at;
  bool quoted = false;
  while (end < body_.size() && (quoted || !Separator(body_[end]))) {
    if (body_[end] == '"') quoted = !quoted;
    ++end;
  }
  return std::string_view(body_).substr(std::min(at, body_.size()), end - std::min(at, end));
}

std::size_t ProgramMachine::After(std::size_t at) const {
  std::size_t next = at + WordAt(at).size();
  while (next < body_.size() && Separator(body_[next])) ++next;
  return next;
}

std::optional<StoredJump> ProgramMachine::JumpAt(std::size_t at) const {
  if (auto found = jumps_.find(static_cast<std::uint16_t>(at)); found != jumps_.end()) return found->second;
  return std::nullopt;
}

bool ProgramMachine::Condition(ProgramHost& host, std::size_t at) {
  const auto value = host.Evaluate(WordAt(at));
  if (!value) host.Fault();  // an expression the motor cannot read counts as false
  return value.value_or(0) != 0;
}

void ProgramMachine::Step(ProgramHost& host) {
  if (!running_) return;
  if (waitUntil_) {
    if (host.Samples() < *waitUntil_) return;
    waitUntil_.reset();
  }
  if (waitForTrajectory_) {
    if (host.TrajectoryInProgress()) return;
    waitForTrajectory_ = false;
  }
  while (counter_ < body_.size() && Separator(body_[counter_])) ++counter_;
  if (counter_ >= body_.size()) {
    Stop();  // past the last line
    return;
  }
  const std::size_t at = counter_;
  if (const auto jump = JumpAt(at)) {
    switch (jump->kind) {
      case 'I':  // IF, or the condition part of an ELSEIF: "IF " and the condition
        if (Condition(host, at + 3)) counter_ = After(at + 3);
        else Jump(jump->target);
        return;
      case 'W':  // "WHILE " and the condition
        if (Condition(host, at + 6)) counter_ = After(at + 6);
        else Jump(jump->target);
        return;
      case 'S': {  // "SWITCH " and the value: on to the first CASE test
        const auto value = host.Evaluate(WordAt(at + 7));
        if (!value) host.Fault();
        if (switches_.size() == kSwitchDepth) switches_.erase(switches_.begin());
        switches_.push_back(value.value_or(0));
        Jump(jump->target);
        return;
      }
      case 'c': {  // the test of a CASE, jumped to: "ASE " and the value
        const auto value = host.Evaluate(WordAt(at + 4));
        if (value && !switches_.empty() && *value == switches_.back()) counter_ = After(at + 4);
        else Jump(jump->target);
        return;
      }
      case 'G':  // GOSUBn
        if (returns_.size() == kReturnDepth) {
          overflowed_ = true;
          host.Fault();
          Stop();
          return;
        }
        returns_.push_back(After(at));
        Jump(jump->target);
        return;
      default:  // ELSEIF and ELSE reached from the branch before, BREAK, LOOP, GOTOn
        Jump(jump->target);
        return;
    }
  }
  const std::string_view word = WordAt(at);
  counter_ = After(at);
  if (word == "CASE" && JumpAt(at + 1)) {
    counter_ = After(counter_);  // falling into the next case runs on past its test
  } else if (word == "END") {
    Stop();
  } else if (word == "ENDS") {
    if (!switches_.empty()) switches_.pop_back();
  } else if (word == "RETURN") {
    if (returns_.empty()) {
      host.Fault();
    } else {
      counter_ = returns_.back();
      returns_.pop_back();
      if (counter_ == kStopOnReturn) Stop();
    }
  } else if (word == "STACK") {
    returns_.clear();
  } else if (word == "RUN") {
    counter_ = 0;
    returns_.clear();
    switches_.clear();
  } else if (word == "RUN?") {
    if (host.HostSpoke()) Stop();  // a host that talked at power-up keeps the program from running on
  } else if (word == "TWAIT") {
    waitForTrajectory_ = true;
    waitAt_ = at;
  } else if (word.starts_with("WAIT=")) {
    const auto samples = host.Evaluate(word.substr(5));
    if (!samples || *samples < 0) host.Fault();
    else waitUntil_ = host.Samples() + *samples;
    waitAt_ = at;
  } else if (word == "ENDIF" || word == "DEFAULT" || IsLabel(word)) {
    // Places to jump to: nothing to do.
  } else {
    host.Execute(word);
  }
}

}  // namespace velkor::sim
