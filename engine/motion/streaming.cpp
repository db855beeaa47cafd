#include "engine/motion/streaming.h"

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "engine/core/errors.h"

namespace velkor::engine::motion {
namespace {

constexpr std::uint8_t kPositionPacket = 0xFA;
constexpr std::uint8_t kClockPacket = 0xFB;
constexpr std::uint8_t kStatusAnswer = 0xF9;
constexpr auto kPollPause = std::chrono::milliseconds(5);

std::string Packet(std::uint8_t kind, std::uint32_t value) {
  std::string packet(5, '\0');
  packet[0] = static_cast<char>(kind);
  for (int i = 0; i < 4; ++i) packet[1 + i] = static_cast<char>(value >> (24 - 8 * i));
  return packet;
}

bool IsPowerOfTwo(std::uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

std::string PositionPacket(std::int32_t position) {
  return Packet(kPositionPacket, static_cast<std::uint32_t>(position));
}

// The clock goes as 24 bits in a 32-bit field: the first data byte is 0.
std::string ClockPacket(std::int32_t clock) { return Packet(kClockPacket, static_cast<std::uint32_t>(clock) & 0xFFFFFFu); }

StatusAnswer DecodeStatusAnswer(std::string_view bytes) {
  StatusAnswer status;
  if (bytes.size() < 5 || static_cast<std::uint8_t>(bytes[0]) != kStatusAnswer) return status;
  status.valid = true;
  const auto b1 = static_cast<std::uint8_t>(bytes[1]);
  const auto b2 = static_cast<std::uint8_t>(bytes[2]);
  if (b1 & 0x80) {
    status.clockReport = true;
    status.freeSlots = b1 & 0x7F;
    status.clock = b2 * 65536 + static_cast<std::uint8_t>(bytes[3]) * 256 + static_cast<std::uint8_t>(bytes[4]);
  } else {
    status.freeSlots = static_cast<std::int8_t>(b2);
    status.errorBits = b1;
  }
  return status;
}

std::uint32_t ErrorOfStatusBits(std::uint8_t bits) {
  const auto code = [](ErrorCode error) { return static_cast<std::uint32_t>(error); };
  if (bits == 0) return code(ErrorCode::MotorHostModeFailed);
  if (bits & 0x04) return code(ErrorCode::MotorInvalidTimeDelta);
  if (bits & 0x08) return code(ErrorCode::MotorInvalidPosDelta);
  if (bits & 0x10) return code(ErrorCode::MotorInvalidDataSpace);
  if (bits & 0x20) return code(ErrorCode::MotorBufferOverflow);
  if (bits & 0x40) return code(ErrorCode::MotorBufferUnderflow);
  if (bits & 0x03) return code(ErrorCode::MotorHostModeFailed);
  return 0;
}

void HostMotion::RequireInitialized() const {
  if (!initialized_) throw CVNXException(ErrorCode::HostModeNotInitialized);
}

void HostMotion::SetPidFactor(std::int32_t factor) {
  if (factor != 1 && factor != 2 && factor != 4 && factor != 8) throw CVNXException(ErrorCode::InvalidData);
  pidFactor_ = factor;
}

double HostMotion::SampleRate() const {
  RequireInitialized();
  return samplePeriod_ > 0 ? 1000.0 / samplePeriod_ : 0.0;
}

void HostMotion::SendPosition(std::int32_t address, std::int32_t position) {
  link_->Exchange(address, PositionPacket(position), false);
}

void HostMotion::SendClock(std::int32_t address, std::int32_t clock) { link_->Exchange(address, ClockPacket(clock), false); }

void HostMotion::SendToHostModeMotors(std::string_view command) {
  const bool second = link_->settings.rs485Channel == 1;
  for (std::int32_t address = motorCount_ + 1; address <= linkMotorCount_; ++address) {
    link_->SendCommand(second ? "SLEEP1" : "SLEEP", address, false);
  }
  link_->SendCommand(command, 0, false);
  for (std::int32_t address = motorCount_ + 1; address <= linkMotorCount_; ++address) {
    link_->SendCommand(second ? "WAKE1" : "WAKE", address, false);
  }
}

std::int32_t HostMotion::CheckStatus(std::int32_t motor) {
  statusUsed_ = false;
  const StatusAnswer status = DecodeStatusAnswer(link_->Exchange(motor, "Q", true, 5, false));
  if (!status.valid) throw CVNXException(ErrorCode::MotorCannotGetStatus, static_cast<std::uint32_t>(motor));
  freeSlots_ = status.freeSlots;
  if (status.clockReport) {
    motorClock_ = status.clock;
    return freeSlots_;
  }
  if (!running_) return freeSlots_;
  // A state report while running ends host mode, with or without a known
  // reason.
  initialized_ = false;
  running_ = false;
  if (const std::uint32_t error = ErrorOfStatusBits(status.errorBits)) {
    throw CVNXException(error, std::nullopt, static_cast<std::uint32_t>(motor));
  }
  return freeSlots_;
}

void HostMotion::PollStep() {
  CheckStatus(pollMotor_);
  pollMotor_ = pollMotor_ >= motorCount_ ? 1 : pollMotor_ + 1;
}

void HostMotion::ResetSample() {
  nextClock_ = 0;
  lastClock_ = 0;
  writtenMask_ = 0;
  lastPosition_.fill(0);
  sampleClock_ = 0;
}

void HostMotion::Initialize(std::int32_t motorCount, std::int32_t linkMotorCount) {
  if (link_->IsSerial() && !link_->IsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
  if (motorCount < 1 || motorCount > kMostHostModeMotors) throw CVNXException(ErrorCode::InvalidData);
  motorCount_ = motorCount;
  linkMotorCount_ = linkMotorCount;
  ResetSample();
  autoClock_ = false;
  directMode_ = false;
  running_ = false;
  initialized_ = false;
  samplePeriod_ = 0.0;
  pollMotor_ = 1;

  autoClock_ = true;
  for (std::int32_t motor = 1; motor <= motorCount_; ++motor) {
    link_->SendCommand("MP", motor, false);
    link_->SendCommand("PID" + std::to_string(pidFactor_), motor, false);
    const std::string answer = link_->SendCommandGetResponse("RSP", motor, false);
    const std::size_t slash = answer.find('/');
    const double period = std::atof(answer.substr(0, slash).c_str()) * 0.00001 / pidFactor_;
    if (motor == 1) {
      samplePeriod_ = period;
    } else if (std::fabs(samplePeriod_ - period) > 0.000001) {
      throw CVNXException(ErrorCode::DifferentSampleRates);
    }
    const std::string firmware = slash == std::string::npos ? std::string() : answer.substr(slash + 1);
    const auto begins = [&](std::string_view version) { return firmware.starts_with(version); };
    if (begins("416") || begins("476") || begins("415") || begins("475")) {
      if (begins("415") || begins("475")) autoClock_ = false;
      link_->SendCommand("MD", motor, false);
    } else {
      autoClock_ = false;
      link_->SendCommand("Zs", motor, false);
      link_->SendCommand("MD", motor, false);
      const std::string supported = link_->SendCommandGetResponse("RBs", motor, false);
      if (supported.empty() || supported[0] != '0') {
        throw CVNXException(ErrorCode::MotorHostModeNotSupported, static_cast<std::uint32_t>(motor));
      }
    }
  }
  CheckStatus(1);
  initialized_ = true;
  totalSlots_ = trajectorySlots = freeSlots_;
}

void HostMotion::FillMissingPositions() {
  for (std::int32_t motor = 1; motor <= motorCount_; ++motor) {
    if (!(writtenMask_ & (1u << motor))) WritePosition(motor, lastPosition_[static_cast<std::size_t>(motor - 1)]);
  }
}

void HostMotion::CompleteSampleWithLastPositions() {
  if (clockDelta_ < 1) throw CVNXException(ErrorCode::InvalidTimeDelta);
  FillMissingPositions();
  sampleClock_ = nextClock_;
  writtenMask_ = 0;
  lastClock_ = nextClock_;
  nextClock_ += clockDelta_;
  freeSlots_ -= 1;
}

void HostMotion::WritePosition(std::int32_t motor, std::int32_t position) {
  RequireInitialized();
  if (motor < 0 || motor > motorCount_) throw CVNXException(ErrorCode::InvalidData);
  if (directMode_) {
    SendPosition(motor, position);
    return;
  }
  const bool hasPosition = motor == 0 ? writtenMask_ != 0 : (writtenMask_ & (1u << motor)) != 0;
  if (hasPosition) {
    if (autoClock_) {
      CompleteSampleWithLastPositions();
    } else {
      WriteClock(0, nextClock_);
    }
  }
  if (writtenMask_ == 0) {
    const std::int32_t reserve = totalSlots_ - trajectorySlots;
    if (running_) {
      while (freeSlots_ < reserve + 2) {
        std::this_thread::sleep_for(kPollPause);
        PollStep();
      }
    } else if (freeSlots_ < reserve + 3) {
      SendToHostModeMotors("G");
      running_ = true;
    }
  }
  SendPosition(motor, position);
  if (motor != 0) {
    lastPosition_[static_cast<std::size_t>(motor - 1)] = position;
    writtenMask_ |= 1u << motor;
  } else {
    for (std::int32_t each = 1; each <= motorCount_; ++each) {
      lastPosition_[static_cast<std::size_t>(each - 1)] = position;
      writtenMask_ |= 1u << each;
    }
  }
}

void HostMotion::WriteClock(std::int32_t motor, std::int32_t clock) {
  RequireInitialized();
  if (motor != 0 || directMode_) {
    if (motor < 0 || motor > motorCount_) throw CVNXException(ErrorCode::InvalidData);
    directMode_ = true;
    SendClock(motor, clock);
    return;
  }
  if (clock != 0) {
    const std::int32_t delta = static_cast<std::int32_t>(static_cast<std::uint32_t>(clock) - static_cast<std::uint32_t>(lastClock_));
    if (!IsPowerOfTwo(static_cast<std::uint32_t>(delta))) throw CVNXException(ErrorCode::InvalidTimeDelta);
    clockDelta_ = delta;
    nextClock_ = lastClock_ = clock;
  } else if (lastClock_ != 0) {
    throw CVNXException(ErrorCode::InvalidTimeDelta);
  }
  FillMissingPositions();
  SendClock(0, clock);
  freeSlots_ -= 1;
  sampleClock_ = nextClock_;
  writtenMask_ = 0;
  nextClock_ += clockDelta_;
}

std::int32_t HostMotion::SlotsNeeded(std::int32_t motor) {
  RequireInitialized();
  if (directMode_ || statusUsed_) CheckStatus(motor);
  statusUsed_ = true;
  return std::max(0, trajectorySlots - totalSlots_ + freeSlots_);
}

std::int32_t HostMotion::CurrentClock(std::int32_t motor) {
  RequireInitialized();
  if (directMode_ || statusUsed_) {
    try {
      CheckStatus(motor);
    } catch (const CVNXException&) {
      // The last clock known is the answer then.
    }
  }
  statusUsed_ = true;
  return motorClock_;
}

void HostMotion::Run() {
  RequireInitialized();
  if (running_) return;
  SendToHostModeMotors("G");
  running_ = true;
}

void HostMotion::AppendHoldingSamples(std::int32_t count, std::int32_t spacing) {
  const std::int32_t savedDelta = clockDelta_;
  try {
    WriteClock(0, nextClock_ - clockDelta_ + spacing);
    for (std::int32_t i = 1; i < count; ++i) WriteClock(0, nextClock_);
  } catch (...) {
    clockDelta_ = savedDelta;
    throw;
  }
  clockDelta_ = savedDelta;
}

void HostMotion::EndHostMode() {
  RequireInitialized();
  if (directMode_) throw CVNXException(ErrorCode::InvalidMode);
  if (freeSlots_ < 4) {
    Run();
    while (freeSlots_ < 4) PollStep();
  }
  AppendHoldingSamples(4, 1024);
  Run();
  SendToHostModeMotors("MP");
  for (std::int32_t motor = 1; motor <= motorCount_; ++motor) {
    link_->SendCommand("P=" + std::to_string(lastPosition_[static_cast<std::size_t>(motor - 1)]), motor, false);
  }
  while (totalSlots_ - freeSlots_ > 4) PollStep();
  SendToHostModeMotors("G");
}

void HostMotion::SyncMotors() {
  RequireInitialized();
  if (directMode_) throw CVNXException(ErrorCode::InvalidMode);
  if (freeSlots_ < 2) {
    Run();
    while (freeSlots_ < 2) PollStep();
  }
  AppendHoldingSamples(2, 512);
  Run();
  while (totalSlots_ - freeSlots_ > 2) PollStep();
  SendToHostModeMotors("S");
  ResetSample();
  running_ = false;
  pollMotor_ = 1;
  SendToHostModeMotors("MD");
  CheckStatus(1);
  totalSlots_ = trajectorySlots = freeSlots_;
}

}  // namespace velkor::engine::motion
