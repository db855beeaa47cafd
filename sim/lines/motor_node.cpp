#include "sim/lines/motor_node.h"

namespace velkor::sim {

bool Understands(const LineFormat& motor, const LineFormat& port) {
  if (motor.baud != port.baud) return false;
  // 'I' is how the host names mark and space parity; the motor then takes
  // whatever the ninth bit is. '?' is a port whose parity cannot be seen.
  return motor.parity == port.parity || motor.parity == 'I' || port.parity == '?';
}

MotorNode::MotorNode(const MotorConfig& config, const FaultSet& faults) : firmware_(config), faults_(faults) {}

void MotorNode::Receive(Symbol symbol, const LineFormat& port, SimTime now) {
  if (gone_) return;
  ++received_;
  if (faults_.dropAfter && received_ > *faults_.dropAfter) {
    gone_ = true;
    outbox_.clear();
    return;
  }
  Advance(port, now);
  // Whatever the motor sends goes out at the rate it listened at when the
  // character came in, even if the character itself changed that rate.
  bool understood = Understands(firmware_.Listening(), port);
  ReceiveResult result =
      (understood && !symbol.garbled) ? firmware_.Receive(symbol.byte) : firmware_.ReceiveGarbled();
  if (faults_.silent) return;
  // An address byte ends the command line before it, and with it a cut echo.
  if (result.addressByte) echo_cut_ = false;
  if (result.echoed) {
    Symbol echo{symbol.byte, symbol.garbled || !understood};
    bool endOfLine = !symbol.garbled && symbol.byte == '\r';
    if (auto sent = FilterEcho(echo)) Queue(*sent, now);
    if (endOfLine) echo_cut_ = false;
  }
  SimTime due = now + std::chrono::duration_cast<SimTime>(faults_.answerDelay);
  for (char c : result.answer) Queue(Symbol{static_cast<std::uint8_t>(c), !understood}, due);
}

void MotorNode::Advance(const LineFormat& port, SimTime now) {
  firmware_.AdvanceTo(now);
  const std::string output = firmware_.TakeProgramOutput();
  if (gone_ || faults_.silent || output.empty()) return;
  const bool understood = Understands(firmware_.Listening(), port);
  for (char c : output) Queue(Symbol{static_cast<std::uint8_t>(c), !understood}, now);
}

void MotorNode::Arm(FaultSet faults) {
  if (faults.echoStopsAfter) *faults.echoStopsAfter += static_cast<int>(echoed_);
  if (faults.echoAltersByte) *faults.echoAltersByte += static_cast<int>(echoed_);
  if (faults.dropAfter) *faults.dropAfter += static_cast<int>(received_);
  faults_ = faults;
}

std::optional<Symbol> MotorNode::FilterEcho(Symbol symbol) {
  if (echo_cut_) return std::nullopt;
  if (faults_.echoStopsAfter && echoed_ >= *faults_.echoStopsAfter) {
    faults_.echoStopsAfter.reset();
    echo_cut_ = true;
    return std::nullopt;
  }
  ++echoed_;
  if (faults_.echoAltersByte && echoed_ == *faults_.echoAltersByte) {
    faults_.echoAltersByte.reset();
    symbol.byte ^= 0x20;
  }
  return symbol;
}

void MotorNode::Queue(Symbol symbol, SimTime due) {
  // A slow answer holds back everything behind it: one transmitter, in order.
  if (!outbox_.empty() && outbox_.back().due > due) due = outbox_.back().due;
  outbox_.push_back(Pending{symbol, due});
}

void MotorNode::TakeDue(SimTime now, std::vector<Symbol>& out) {
  while (!outbox_.empty() && outbox_.front().due <= now) {
    out.push_back(outbox_.front().symbol);
    outbox_.pop_front();
  }
}

std::optional<Symbol> MotorNode::TakeOneDue(SimTime now) {
  if (outbox_.empty() || outbox_.front().due > now) return std::nullopt;
  Symbol symbol = outbox_.front().symbol;
  outbox_.pop_front();
  return symbol;
}

std::optional<SimTime> MotorNode::NextDue() const {
  std::optional<SimTime> next = firmware_.NextProgramWake();
  if (!outbox_.empty() && (!next || outbox_.front().due < *next)) next = outbox_.front().due;
  return next;
}

}  // namespace velkor::sim
