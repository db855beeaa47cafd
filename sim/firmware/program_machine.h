#pragma once
// The stored program's control flow: a program counter into the body, the
// structure keywords and jumps taken through the targets stored with the
// image, a return stack for GOSUB, the values of open SWITCHes, and the
// waits. Every other statement is handed to the firmware's interpreter.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sim/firmware/program_memory.h"

namespace velkor::sim {

// What the program needs of the motor around it.
class ProgramHost {
 public:
  virtual ~ProgramHost() = default;
  virtual std::optional<std::int32_t> Evaluate(std::string_view expression) = 0;
  virtual void Execute(std::string_view statement) = 0;  // any statement that is not control flow
  virtual void Fault() = 0;  // a statement that cannot be carried out: Bs
  virtual bool TrajectoryInProgress() const = 0;
  virtual std::int64_t Samples() const = 0;  // the servo sample clock
  virtual bool HostSpoke() const = 0;  // a character has come in since power-up
};

class ProgramMachine {
 public:
  static constexpr std::size_t kReturnDepth = 16;  // GOSUB levels
  static constexpr std::size_t kSwitchDepth = 16;  // SWITCHes left open by jumps

  // From the top of `program` (RUN, power-up).
  void Start(const StoredProgram& program);
  void Stop();  // END, from the program or the host
  // The host's GOTOn (call false) or GOSUBn (call true): on from `address`
  // of `program`, started there when it is not running. A call returns to
  // where the program was, or stops it when it was not running. False when
  // the return stack is full.
  bool Enter(const StoredProgram& program, std::uint16_t address, bool call);
  bool Running() const { return running_; }

  // Carries out one statement, or finds the wait still on.
  void Step(ProgramHost& host);
  // The sample the program waits for ("WAIT="), so time can skip to it.
  std::optional<std::int64_t> WaitingForSample() const { return waitUntil_; }
  bool WaitingForTrajectory() const { return waitForTrajectory_; }
  // Set when the return stack overflowed: the program stopped there.
  bool Overflowed() const { return overflowed_; }

  std::size_t Counter() const { return counter_; }  // body offset of the next statement
  int Line() const;  // 1-based line of the next statement
  std::size_t ReturnDepth() const { return returns_.size(); }

 private:
  // The statement word at `at`: up to the next blank or line end outside quotes.
  std::string_view WordAt(std::size_t at) const;
  // The offset of the statement after the word that starts at `at`.
  std::size_t After(std::size_t at) const;
  std::optional<StoredJump> JumpAt(std::size_t at) const;
  void Jump(std::uint16_t target) { counter_ = target; }
  bool Condition(ProgramHost& host, std::size_t at);  // the word at `at`, true when not zero

  std::string body_;
  std::unordered_map<std::uint16_t, StoredJump> jumps_;
  std::size_t counter_ = 0;
  std::vector<std::size_t> returns_;
  std::vector<std::int32_t> switches_;
  std::optional<std::int64_t> waitUntil_;
  std::size_t waitAt_ = 0;  // the WAIT= or TWAIT waited at
  bool waitForTrajectory_ = false;
  bool running_ = false;
  bool overflowed_ = false;
};

}  // namespace velkor::sim
