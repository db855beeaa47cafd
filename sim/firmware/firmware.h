#pragma once
// One motor's firmware as far as the host relies on it: a command interpreter
// that consumes the bytes the motor's receiver decodes and yields the bytes the
// motor sends back. It does no I/O and keeps no clock of its own: the line
// model hands it bytes and advances its time.

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/firmware/eeprom.h"
#include "sim/firmware/host_mode.h"
#include "sim/firmware/load.h"
#include "sim/firmware/motor_config.h"
#include "sim/firmware/program_machine.h"
#include "sim/firmware/program_memory.h"
#include "sim/firmware/trajectory.h"
#include "sim/firmware/variables.h"

namespace velkor::sim {

// What a channel's receiver is set to: a motor understands the line only
// while these agree with the line's own settings.
struct LineFormat {
  int baud = 9600;
  char parity = 'N';  // 'N', 'O', 'E'; 'I' mark or space; '?' not known
  bool operator==(const LineFormat&) const = default;
};

struct ReceiveResult {
  bool echoed = false;  // the received byte was sent on (echo)
  bool addressByte = false;  // taken as an address byte: a half-received line is gone
  // Sent after the echo: answers end with CR, an upload with 0xFF, and
  // PRINT sends what the program says.
  std::string answer;
};

class Firmware {
 public:
  explicit Firmware(const MotorConfig& config);

  ReceiveResult Receive(std::uint8_t byte);
  // A character the receiver could not decode (the line runs at another
  // rate): it spoils the command being received.
  ReceiveResult ReceiveGarbled();
  // Convenience for tests: the text and a CR, byte by byte; the answers.
  std::string Command(std::string_view text);

  // Simulated time since power-up; moves the trajectory, the clock and the
  // stored program.
  void AdvanceTo(std::chrono::nanoseconds now);
  std::chrono::nanoseconds Now() const { return now_; }

  const MotorConfig& Config() const { return config_; }
  int Address() const { return address_; }
  bool Selected() const { return selected_; }
  // Channels are 0 and 1; other numbers name channel 1 as well.
  bool Asleep(int channel) const { return asleep_[channel == 0 ? 0 : 1]; }
  bool EchoOn(int channel) const { return echo_[channel == 0 ? 0 : 1]; }
  LineFormat Listening() const { return format_[static_cast<std::size_t>(config_.channel)]; }
  // The rates "BAUD" switched the motor to, oldest first, for tests to see
  // the steps a host took.
  const std::vector<int>& RateChanges() const { return rate_changes_; }
  char Mode() const;
  const Eeprom& Memory() const { return memory_; }
  const Variables& Vars() const { return variables_; }
  Variables& Vars() { return variables_; }
  // The commanded motion, in counts and seconds, and the shaft that
  // follows it: where it is ("RP"), its stops, switches and index latch.
  const Trajectory& Motion() const { return trajectory_; }
  const Load& Shaft() const { return load_; }
  // Servo samples per second: the base rate times the "PID" factor. Speeds
  // are counts per sample x 65536, accelerations counts per sample squared
  // x 65536.
  double SamplesPerSecond() const;
  // The torque the motor applies now, never beyond AMPS.
  std::int32_t AppliedTorque() const;
  // How often "F" has applied the gains.
  int GainUpdates() const { return gain_updates_; }
  // The pins as the motor reads them (bit 0 = A): an input's level as set,
  // 0 where a limit switch is tripped; an output pin's output level.
  std::uint8_t Inputs() const;

  // Inputs A..G, as the operator or a test sets them; a tripped limit
  // switch holds its input at 0 whatever is set.
  bool SetInput(char letter, bool level);
  // Status bits by their letter ("e" for Be, ...); false for an unknown letter.
  bool SetStatus(char letter, bool on);
  std::optional<bool> Status(char letter) const;

  // Program memory: the plain program, or the compiled one that only
  // servo-firmware motors ("46x") keep.
  const StoredProgram& Program(bool compiled) const { return compiled ? compiled_program_ : plain_program_; }
  // Stores an image (its end marker may follow) as a download would; false
  // when this motor keeps no such program.
  bool LoadImage(std::string_view image, bool compiled);
  // Between "LOAD"/"LOADC" and the image's end marker.
  bool Loading() const { return loading_; }
  bool Servo() const { return config_.firmware.starts_with("46"); }

  // Host mode, from "MD" until a go after a mode command, "S", "X" or "OFF".
  bool HostMode() const { return host_mode_; }
  const HostModeTrajectory& Host() const { return host_; }
  // The clock the status answer reports: 24 bits.
  std::int32_t HostClock() const { return static_cast<std::int32_t>(host_.Clock() & 0xFFFFFF); }
  int HostFreeSlots() const { return host_.FreeSlots(); }
  // Firmware that advances the host-mode clock by itself ("416", "476").
  bool AutoClock() const { return host_.AutoClock(); }
  int PidFactor() const { return pid_factor_; }

  // The stored program: running ("Bk"), where it is, how deep its GOSUBs
  // are; what it has sent and the line has not taken yet.
  bool ProgramRunning() const { return machine_.Running(); }
  const ProgramMachine& Machine() const { return machine_; }
  std::string TakeProgramOutput();
  // When the program wants time to move on next (a line serving this motor
  // wakes then), or nothing while no program runs.
  std::optional<std::chrono::nanoseconds> NextProgramWake() const;
  // Outputs UA..UF as the program or the host set them (bit 0 = A).
  std::uint8_t Outputs() const { return outputs_; }
  // The command lines the motor took from the host, oldest first (the last
  // kReceivedLines kept), for tests to see what a client sent.
  static constexpr std::size_t kReceivedLines = 1000;
  const std::deque<std::string>& ReceivedLines() const { return received_lines_; }

 private:
  class ProgramSide;
  // Time moves the stored program (statement by statement, the motion in
  // step with it) and then the motion alone.
  void AdvanceProgramTo(std::chrono::nanoseconds now);
  void AdvanceMotionTo(std::chrono::nanoseconds now);
  void ExecuteLine(std::string_view line, std::string& answer);
  void ExecuteToken(std::string_view token, std::string_view argument, bool& usedArgument,
                    std::string& answer);
  bool ExecuteControl(std::string_view token);
  bool ExecuteMotion(std::string_view token);
  bool ExecuteMemory(std::string_view token);
  bool ExecuteAssignment(std::string_view token);
  bool ExecuteReport(std::string_view name, std::string& answer);
  bool ExecuteProgram(std::string_view token, std::string& answer);
  bool ExecuteHostMode(std::string_view token, std::string& answer);
  void LeaveHostMode();
  void SetPidFactor(int factor);
  void TakePacketByte(std::uint8_t byte, bool garbled);
  // Motion: the servo or the torque moves the shaft as time passes.
  void AdvanceMotion(std::chrono::nanoseconds elapsed);
  // `errorBefore` and `speedBefore` (counts per sample): the servo's state
  // when the step began.
  void MoveShaft(std::chrono::nanoseconds step, double errorBefore, double speedBefore);
  bool Moving() const;
  bool TorqueMode() const;
  bool Servoing() const;  // the shaft follows a commanded position
  double CommandedPosition() const;
  double CommandedSpeed() const;  // counts per sample
  double ShaftSpeed() const;  // counts per sample
  double ShaftAcceleration() const;  // counts per second squared
  double TorqueSpeed() const;  // counts per second
  std::int32_t PositionError() const;
  void PositionFault();
  void HoldShaft();
  void SetPresentPosition(std::int32_t position);
  // Nothing when `name` is none of the motion's; else whether the value fits.
  std::optional<bool> AssignMotion(std::string_view name, std::int32_t value);
  std::optional<std::int32_t> MotionValue(std::string_view name) const;
  std::optional<std::int32_t> MotionReport(std::string_view name) const;
  void StartProgram();
  void EnterProgram(std::uint32_t label, bool call);  // the host's GOTOn / GOSUBn
  bool ExecuteOutput(std::string_view token, std::string& answer);
  bool Print(std::string_view token, std::string& answer);
  void FinishLoad();
  // True when the byte belongs to an end marker outside a load.
  bool StrayMarker(std::uint8_t byte);
  std::optional<std::int32_t> ValueOf(std::string_view name) const;
  std::int64_t ClockSamples() const;
  void CommandFailed() { command_error_ = true; }

  MotorConfig config_;
  Eeprom memory_;
  Variables variables_;
  Trajectory trajectory_;
  std::chrono::nanoseconds now_{0};
  std::chrono::nanoseconds clock_zero_{0};
  std::int64_t clock_at_zero_ = 0;  // sample clock at clock_zero_
  int pid_factor_ = 1;  // the servo runs this many times the base sample rate

  int address_ = 0;
  bool selected_ = true;
  std::array<bool, 2> asleep_{};
  std::array<bool, 2> echo_{};
  std::array<LineFormat, 2> format_{};
  std::vector<int> rate_changes_;
  std::string line_;

  // Conditional answers: "CMP" sets the flag, "IFF" holds every command back
  // while it is true, "IFX" ends that.
  bool compare_true_ = false;
  bool holding_ = false;

  int eeprom_pointer_ = 0;
  std::int32_t target_ = 0, speed_ = 0, acceleration_ = 0, distance_ = 0, torque_ = 0;
  bool distance_pending_ = false;
  char chosen_mode_ = 'P';  // set by MP/MV/MT/MTB
  bool relative_move_ = false;
  bool drive_off_ = true;
  bool position_error_ = false, over_temperature_ = false, alarm_ = false;
  bool command_error_ = false;
  std::uint8_t inputs_ = 0x7F;
  Load load_{config_.mechanics};
  std::int32_t error_limit_ = 1000;  // "E", counts
  std::int32_t torque_limit_ = 1023;  // "AMPS"
  // KP KI KD KV KA KL KG KS, factory values; "F" applies them.
  std::array<std::int32_t, 8> gains_{42, 28, 550, 0, 0, 20, 0, 1};
  int gain_updates_ = 0;

  StoredProgram plain_program_;
  StoredProgram compiled_program_;
  ImageReceiver receiver_;
  bool loading_ = false;
  bool load_after_line_ = false;  // "LOAD" takes effect at the line's CR
  bool load_compiled_ = false;
  int marker_bytes_ = 0;  // of an end marker outside a load
  bool selected_before_marker_ = true;
  ProgramMachine machine_;
  std::chrono::nanoseconds program_time_{0};  // the program has run up to here
  bool in_program_ = false;  // the statement being carried out is the program's
  std::string program_output_;
  bool host_spoke_ = false;  // a character came in since power-up ("RUN?")
  std::uint8_t outputs_ = 0;
  std::uint8_t output_pins_ = 0;  // pins made outputs ("UEO"); the rest are inputs
  std::deque<std::string> received_lines_;

  HostModeTrajectory host_;
  bool host_mode_ = false;
  bool leave_host_mode_ = false;  // a mode command came: the next go leaves host mode
  // A host-mode packet being received: its first byte, the data so far.
  std::uint8_t packet_kind_ = 0;
  int packet_bytes_ = 0;
  std::uint32_t packet_value_ = 0;
  bool packet_spoiled_ = false;
};

}  // namespace velkor::sim
