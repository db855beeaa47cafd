// Host-mode commands and packets of the firmware model, and the servo rate.
#include <cmath>

#include "sim/firmware/expression.h"
#include "sim/firmware/firmware.h"

namespace velkor::sim {

double Firmware::SamplesPerSecond() const {
  return config_.samplePeriod > 0 ? 1e8 * pid_factor_ / config_.samplePeriod : 0.0;
}

void Firmware::SetPidFactor(int factor) {
  // The sample clock keeps its count across a change of rate.
  clock_at_zero_ = ClockSamples();
  clock_zero_ = now_;
  pid_factor_ = factor;
}

bool Firmware::ExecuteHostMode(std::string_view token, std::string& answer) {
  if (token == "MD" || token == "Q") {
    if (!config_.hostMode) {
      CommandFailed();
    } else if (token == "MD") {
      // Entered afresh every time: empty buffer, clock 0, errors gone.
      trajectory_.Halt();
      host_.Start(trajectory_.Position());
      host_mode_ = true;
      leave_host_mode_ = false;
    } else {
      // Outside host mode a state report without error bits: nothing runs.
      std::array<std::uint8_t, 5> status{0xF9, 0, 0, 0, 0};
      if (host_mode_) status = host_.StatusAnswer();
      for (std::uint8_t byte : status) answer.push_back(static_cast<char>(byte));
    }
    return true;
  }
  if (token.starts_with("PID")) {
    auto factor = ParseNumber(token.substr(3));
    if (!factor || (*factor != 1 && *factor != 2 && *factor != 4 && *factor != 8)) {
      CommandFailed();
    } else {
      SetPidFactor(*factor);
    }
    return true;
  }
  if (!host_mode_) return false;
  if (token == "G") {
    if (leave_host_mode_) {
      LeaveHostMode();
      return false;  // the ordinary go, from where host mode left the motor
    }
    drive_off_ = false;
    host_.Go();
    return true;
  }
  if (token == "MP" || token == "MV" || token == "MT") {
    // The buffer plays on; the mode takes over at the next go.
    leave_host_mode_ = true;
    return false;
  }
  if (token == "S" || token == "X" || token == "OFF") {
    LeaveHostMode();
    return false;  // and the ordinary stop holds the motor where it is
  }
  return false;
}

void Firmware::LeaveHostMode() {
  trajectory_.SetPosition(std::round(host_.Position()));
  host_mode_ = false;
  leave_host_mode_ = false;
}

void Firmware::TakePacketByte(std::uint8_t byte, bool garbled) {
  packet_spoiled_ = packet_spoiled_ || garbled;
  packet_value_ = (packet_value_ << 8) | byte;
  if (++packet_bytes_ < 4) return;
  const std::uint8_t kind = packet_kind_;
  packet_kind_ = 0;
  auto wired = static_cast<std::size_t>(config_.channel);
  if (packet_spoiled_ || !selected_ || asleep_[wired] || !host_mode_) return;
  if (kind == 0xFA) host_.TakePosition(static_cast<std::int32_t>(packet_value_));
  if (kind == 0xFB) host_.TakeClock(packet_value_);
  // 0xF9 is another motor's status answer on its way to the host.
}

}  // namespace velkor::sim
