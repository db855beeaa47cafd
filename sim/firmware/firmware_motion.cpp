// Motion of the firmware model: the mode and motion commands, the values
// they set and report in the motor's own units, and the servo (or the
// torque) moving the shaft as time passes.
#include <algorithm>
#include <cmath>

#include "sim/firmware/firmware.h"

namespace velkor::sim {
namespace {

using namespace std::chrono_literals;

// Speeds are counts per sample and accelerations counts per sample squared,
// both times 65536.
constexpr double kUnit = 65536;
// The servo's time constant in samples: the shaft follows its command like a
// first-order lag, so at a steady speed it trails by this many samples of
// travel (the following error of a stiff servo).
constexpr double kLagSamples = 8;
// Torque mode: the load's friction takes up this much torque, and every
// unit beyond it turns the shaft this many counts per second.
constexpr double kFrictionTorque = 10;
constexpr double kCountsPerSecondPerTorque = 20;
constexpr std::int32_t kMostTorque = 1023;
// While something moves, time is taken in steps this short, so that an index
// pulse, a tripped switch or a position error comes about when it happens.
constexpr std::chrono::nanoseconds kFineStep = 1ms;
constexpr std::chrono::nanoseconds kCoarseStep = 50ms;
constexpr std::chrono::nanoseconds kFineSpan = 120s;

struct Gain {
  std::string_view name;
  std::int32_t low, high;
};
// In the order of Firmware::gains_.
constexpr Gain kGains[] = {{"KP", 0, 32767}, {"KI", 0, 32767}, {"KD", 0, 32767}, {"KV", 0, 32767},
                           {"KA", 0, 32767}, {"KL", 0, 32767}, {"KG", -32768, 32767}, {"KS", 0, 32767}};

std::optional<std::size_t> GainIndex(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kGains); ++i) {
    if (kGains[i].name == name) return i;
  }
  return std::nullopt;
}

std::int32_t Round(double value) { return static_cast<std::int32_t>(std::lround(value)); }

}  // namespace

bool Firmware::ExecuteMotion(std::string_view token) {
  if (token == "MP" || token == "MV") {
    chosen_mode_ = token[1];
    relative_move_ = false;
  } else if (token == "MT" || token == "MTB") {
    // Torque and brake take over at once; in host mode "MT" waits for the go
    // that leaves it.
    chosen_mode_ = token == "MT" ? 'T' : 'B';
    relative_move_ = false;
    if (token == "MTB" && host_mode_) LeaveHostMode();
    if (!host_mode_) {
      trajectory_.Halt();
      trajectory_.SetPosition(load_.Position());
      drive_off_ = false;
    }
  } else if (token == "G") {
    drive_off_ = false;
    if (chosen_mode_ == 'P') {
      // A distance given since the last go makes it a relative move.
      std::int32_t goal = target_;
      relative_move_ = distance_pending_;
      if (distance_pending_) {
        goal = Round(trajectory_.Position()) + distance_;
        target_ = goal;
        distance_pending_ = false;
      }
      const double rate = SamplesPerSecond();
      trajectory_.MoveTo(goal, std::abs(static_cast<double>(speed_)) * rate / kUnit,
                         acceleration_ * rate * rate / kUnit);
    } else if (chosen_mode_ == 'V') {
      const double rate = SamplesPerSecond();
      trajectory_.RunAt(speed_ * rate / kUnit, acceleration_ * rate * rate / kUnit);
    }
  } else if (token == "X" || token == "S") {
    if (chosen_mode_ == 'T' || chosen_mode_ == 'B') {
      HoldShaft();
    } else if (token == "X") {
      const double rate = SamplesPerSecond();
      trajectory_.Decelerate(acceleration_ * rate * rate / kUnit);
    } else {
      trajectory_.Halt();
    }
  } else if (token == "OFF") {
    trajectory_.Halt();
    trajectory_.SetPosition(load_.Position());
    drive_off_ = true;
  } else if (token == "ZS") {
    // The index latch too: a program has no "Zi" to arm it with.
    position_error_ = over_temperature_ = alarm_ = command_error_ = false;
    load_.ClearIndex();
  } else if (token.size() == 2 && token[0] == 'Z' && std::string_view("ehasi").find(token[1]) != std::string_view::npos) {
    // "Zs": one status bit, where "ZS" clears them all; "Zi" arms the index latch again.
    if (token[1] == 'i') {
      load_.ClearIndex();
    } else {
      SetStatus(token[1], false);
    }
  } else if (token == "F") {
    ++gain_updates_;
  } else if (token == "BRKRLS") {
    // No brake to release: the shaft is free whenever the drive is off.
  } else if (token.size() == 3 && token[0] == 'U' && token[1] >= 'A' && token[1] <= 'G' &&
             (token[2] == 'I' || token[2] == 'O')) {
    // A pin made an output shows the output's level to whoever reads it;
    // G has no output driver and stays an input.
    const auto bit = static_cast<std::uint8_t>(1u << (token[1] - 'A'));
    if (token[2] == 'I') output_pins_ = static_cast<std::uint8_t>(output_pins_ & ~bit);
    else if (token[1] != 'G') output_pins_ = static_cast<std::uint8_t>(output_pins_ | bit);
  } else {
    return false;
  }
  return true;
}

void Firmware::HoldShaft() {
  // Out of torque or brake mode: position mode, holding where the shaft is.
  chosen_mode_ = 'P';
  relative_move_ = false;
  trajectory_.Halt();
  trajectory_.SetPosition(load_.Position());
}

void Firmware::SetPresentPosition(std::int32_t position) {
  if (host_mode_) LeaveHostMode();
  trajectory_.Halt();
  load_.SetPosition(position);
  trajectory_.SetPosition(position);
}

std::optional<bool> Firmware::AssignMotion(std::string_view name, std::int32_t value) {
  if (name == "P") {
    target_ = value;
  } else if (name == "V") {
    speed_ = value;
  } else if (name == "A" || name == "E") {
    if (value < 0) return false;
    (name == "A" ? acceleration_ : error_limit_) = value;
  } else if (name == "D") {
    distance_ = value;
    distance_pending_ = true;
  } else if (name == "T") {
    torque_ = value;
  } else if (name == "O") {
    SetPresentPosition(value);
  } else if (name == "AMPS") {
    if (value < 0 || value > kMostTorque) return false;
    torque_limit_ = value;
  } else if (auto gain = GainIndex(name)) {
    if (value < kGains[*gain].low || value > kGains[*gain].high) return false;
    gains_[*gain] = value;
  } else {
    return std::nullopt;
  }
  return true;
}

std::optional<std::int32_t> Firmware::MotionValue(std::string_view name) const {
  if (name == "P") return target_;
  if (name == "V") return speed_;
  if (name == "A") return acceleration_;
  if (name == "D") return distance_;
  if (name == "T") return torque_;
  if (name == "E") return error_limit_;
  if (name == "AMPS") return torque_limit_;
  if (name == "I") return load_.IndexPosition();
  if (name == "@P") return Round(load_.Position());
  if (name == "@PE") return PositionError();
  if (name == "@V") return MotionReport("V");
  if (auto gain = GainIndex(name)) return gains_[*gain];
  return std::nullopt;
}

std::optional<std::int32_t> Firmware::MotionReport(std::string_view name) const {
  const double rate = SamplesPerSecond();
  if (name == "P") return Round(load_.Position());
  if (name == "PE") return PositionError();
  if (name == "V") return Round(ShaftSpeed() * kUnit);
  if (name == "A") return rate > 0 ? Round(std::fabs(ShaftAcceleration()) * kUnit / (rate * rate)) : 0;
  return std::nullopt;
}

bool Firmware::TorqueMode() const { return !host_mode_ && chosen_mode_ == 'T'; }

bool Firmware::Servoing() const {
  return !drive_off_ && (host_mode_ || (chosen_mode_ != 'T' && chosen_mode_ != 'B'));
}

double Firmware::CommandedPosition() const { return host_mode_ ? host_.Position() : trajectory_.Position(); }

double Firmware::CommandedSpeed() const {
  if (host_mode_) return host_.CountsPerTick();
  const double rate = SamplesPerSecond();
  return rate > 0 ? trajectory_.Speed() / rate : 0;
}

double Firmware::TorqueSpeed() const {
  const double torque = std::clamp(torque_, -torque_limit_, torque_limit_);
  return std::copysign(std::max(0.0, std::fabs(torque) - kFrictionTorque) * kCountsPerSecondPerTorque, torque);
}

double Firmware::ShaftSpeed() const {
  const double rate = SamplesPerSecond();
  if (load_.Blocked() || rate <= 0) return 0;
  if (Servoing()) return CommandedSpeed();
  return TorqueMode() && !drive_off_ ? TorqueSpeed() / rate : 0;
}

double Firmware::ShaftAcceleration() const {
  return Servoing() && !host_mode_ && !load_.Blocked() ? trajectory_.Acceleration() : 0;
}

std::int32_t Firmware::PositionError() const {
  return Servoing() ? Round(CommandedPosition() - load_.Position()) : 0;
}

std::int32_t Firmware::AppliedTorque() const {
  if (drive_off_) return 0;
  if (TorqueMode()) return std::clamp(torque_, -torque_limit_, torque_limit_);
  // Free, the load takes no torque worth modelling; against a stop the
  // servo pushes with all it may.
  if (!Servoing() || !load_.Blocked()) return 0;
  return CommandedPosition() > load_.Position() ? torque_limit_ : -torque_limit_;
}

std::uint8_t Firmware::Inputs() const {
  const auto read = static_cast<std::uint8_t>(inputs_ & ~load_.ActiveInputs());
  return static_cast<std::uint8_t>(((read & ~output_pins_) | (outputs_ & output_pins_)) & 0x7F);
}

bool Firmware::Moving() const {
  return trajectory_.InProgress() || (TorqueMode() && !drive_off_ && TorqueSpeed() != 0);
}

void Firmware::AdvanceMotion(std::chrono::nanoseconds elapsed) {
  if (host_mode_) {
    // A tick is one servo sample: the base period (10 ns units) over the PID
    // factor. Taken whole, so that the clock lands on the samples exactly;
    // between two samples the command runs at a steady speed.
    const double error = CommandedPosition() - load_.Position();
    const double period = 10.0 * config_.samplePeriod / pid_factor_;
    if (period > 0) host_.Advance(static_cast<double>(elapsed.count()) / period);
    trajectory_.SetPosition(host_.Position());
    MoveShaft(elapsed, error, CommandedSpeed());
    return;
  }
  std::chrono::nanoseconds done{0};
  while (done < elapsed) {
    std::chrono::nanoseconds step = elapsed - done;
    if (Moving()) step = std::min(step, done < kFineSpan ? kFineStep : kCoarseStep);
    const double error = CommandedPosition() - load_.Position();
    const double speed = CommandedSpeed();
    trajectory_.Advance(step);
    MoveShaft(step, error, speed);
    done += step;
  }
}

void Firmware::MoveShaft(std::chrono::nanoseconds step, double errorBefore, double speedBefore) {
  const double seconds = std::chrono::duration<double>(step).count();
  const double samples = seconds * SamplesPerSecond();
  if (TorqueMode() && !drive_off_) {
    load_.MoveTo(load_.Position() + TorqueSpeed() * seconds);
    trajectory_.SetPosition(load_.Position());
    return;
  }
  if (!Servoing() || samples <= 0) {
    // Nothing holds a command against the shaft: the command follows it.
    if (!host_mode_) trajectory_.SetPosition(load_.Position());
    return;
  }
  if (!Status('t').value_or(false)) {
    // At rest the servo holds the shaft on its command: a host that sees the
    // trajectory end finds the shaft at its end.
    load_.MoveTo(CommandedPosition());
    if (std::abs(PositionError()) > error_limit_) PositionFault();
    return;
  }
  // The error of a first-order lag behind a command whose speed changes
  // steadily over the step, solved exactly, so that the step's length does
  // not matter and a shaft starting from rest never moves backwards.
  const double tau = kLagSamples;
  const double speed = CommandedSpeed();
  const double change = (speed - speedBefore) / samples;
  const double settled = tau * (speed - change * tau);
  const double error = settled + (errorBefore - tau * (speedBefore - change * tau)) * std::exp(-samples / tau);
  load_.MoveTo(CommandedPosition() - error);
  if (std::abs(PositionError()) > error_limit_) PositionFault();
}

void Firmware::PositionFault() {
  // Too far behind its command: the motor gives up, drive off, Be set.
  position_error_ = true;
  if (host_mode_) LeaveHostMode();
  trajectory_.Halt();
  trajectory_.SetPosition(load_.Position());
  drive_off_ = true;
}

}  // namespace velkor::sim
