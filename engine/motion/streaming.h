#pragma once
// Host-mode streaming: per time sample every motor gets its target position,
// then a common clock; the motors buffer the samples and interpolate between
// them in step. This keeps the bookkeeping of the sample being built, an
// estimate of the motors' free buffer slots, and the flow control that
// starts the motion once the buffers are full enough and holds the writer
// back while they are full.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/link/host_link.h"

namespace velkor::engine::motion {

inline constexpr std::int32_t kMostHostModeMotors = 6;

// A motor's 5-byte answer to "Q": 0xF9, then either a clock report (free
// slots and the motor's clock) or a state report (error bits and free slots).
struct StatusAnswer {
  bool valid = false;  // began with 0xF9
  bool clockReport = false;
  std::int32_t freeSlots = 0;
  std::int32_t clock = 0;
  std::uint8_t errorBits = 0;  // of a state report
};
StatusAnswer DecodeStatusAnswer(std::string_view bytes);

// The engine error that a state report's bits stand for while running; 0
// when none of the known bits is set.
std::uint32_t ErrorOfStatusBits(std::uint8_t bits);

// The packets, address byte not included.
std::string PositionPacket(std::int32_t position);
std::string ClockPacket(std::int32_t clock);

class HostMotion {
 public:
  explicit HostMotion(std::shared_ptr<HostLink> link) : link_(std::move(link)) {}

  // `linkMotorCount`: the motors the host knows, of which the first
  // `motorCount` are put into host mode and the others sleep meanwhile.
  void Initialize(std::int32_t motorCount, std::int32_t linkMotorCount);
  void WritePosition(std::int32_t motor, std::int32_t position);
  void WriteClock(std::int32_t motor, std::int32_t clock);
  std::int32_t SlotsNeeded(std::int32_t motor);
  std::int32_t CurrentClock(std::int32_t motor);
  std::int32_t CheckStatus(std::int32_t motor);
  void Run();
  void EndHostMode();
  void SyncMotors();

  bool Initialized() const { return initialized_; }
  std::int32_t trajectorySlots = 19;
  std::int32_t TrajectorySlots() const { return trajectorySlots; }
  double SampleRate() const;  // samples per second
  std::int32_t PidFactor() const { return pidFactor_; }
  void SetPidFactor(std::int32_t factor);

  // For tests and diagnostics.
  std::int32_t FreeSlots() const { return freeSlots_; }
  std::int32_t TotalSlots() const { return totalSlots_; }
  std::int32_t ClockDelta() const { return clockDelta_; }
  bool Running() const { return running_; }
  bool DirectMode() const { return directMode_; }
  bool AutoClock() const { return autoClock_; }

 private:
  void RequireInitialized() const;
  void SendPosition(std::int32_t address, std::int32_t position);
  void SendClock(std::int32_t address, std::int32_t clock);
  void SendToHostModeMotors(std::string_view command);
  void PollStep();
  void CompleteSampleWithLastPositions();
  void FillMissingPositions();
  void AppendHoldingSamples(std::int32_t count, std::int32_t spacing);
  void ResetSample();

  std::shared_ptr<HostLink> link_;
  std::int32_t linkMotorCount_ = 0;
  std::int32_t motorCount_ = 0;
  std::array<std::int32_t, kMostHostModeMotors> lastPosition_{};
  std::int32_t sampleClock_ = 0;
  std::uint32_t writtenMask_ = 0;
  std::int32_t clockDelta_ = 128;
  std::int32_t nextClock_ = 0;
  std::int32_t lastClock_ = 0;
  bool autoClock_ = false;
  bool directMode_ = false;
  bool running_ = false;
  std::int32_t totalSlots_ = 0;
  std::int32_t freeSlots_ = 0;
  std::int32_t pollMotor_ = 1;
  double samplePeriod_ = 0.0;  // ms
  bool initialized_ = false;
  std::int32_t motorClock_ = 0;
  std::int32_t pidFactor_ = 1;
  bool statusUsed_ = false;
};

}  // namespace velkor::engine::motion
