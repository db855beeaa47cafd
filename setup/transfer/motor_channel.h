#pragma once
// The selected motor as the setup logic talks to it: through the engine's
// host object of its port and the motor object of its address, and nothing
// else. A failed exchange says what failed; the sequences decide what it
// means. Pauses go through a clock, so that tests can check them without
// spending them.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::setup {

class MotorChannel {
 public:
  virtual ~MotorChannel() = default;
  // The motor object's WriteCommand and GetResponseOf.
  virtual bool Write(std::string_view command) = 0;
  virtual std::optional<std::string> Ask(std::string_view command) = 0;
  // The host object's WriteCmd (a leading decimal address selects the
  // motor), ClearBuffer and Download of a program file to this motor.
  virtual bool HostWrite(std::string_view command) = 0;
  // The host object's GetResponseOf: to the motor the host last selected,
  // or to the one a leading decimal address names.
  virtual std::optional<std::string> HostAsk(std::string_view command) = 0;
  virtual bool ClearBuffer() = 0;
  virtual bool DownloadProgram(const std::filesystem::path& file) = 0;
  // The host's DefaultMotor: the address its own commands go to. A channel
  // without a host of its own has nothing to select.
  virtual bool SetDefaultMotor(int /*address*/) { return false; }
  virtual int Address() const = 0;
  // What the last failed call said ("No response received! (engine error 5)").
  virtual std::string LastFailure() const = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void Sleep(std::chrono::milliseconds pause) = 0;
};

// Real pauses.
class SleepingClock : public Clock {
 public:
  void Sleep(std::chrono::milliseconds pause) override;
};

// Pauses recorded, not spent (tests).
class RecordingClock : public Clock {
 public:
  void Sleep(std::chrono::milliseconds pause) override { pauses.push_back(pause); }
  std::chrono::milliseconds Total() const;
  std::vector<std::chrono::milliseconds> pauses;
};

}  // namespace velkor::setup
