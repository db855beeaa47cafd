#include "setup/transfer/motor_channel.h"

#include <thread>

namespace velkor::setup {

void SleepingClock::Sleep(std::chrono::milliseconds pause) { std::this_thread::sleep_for(pause); }

std::chrono::milliseconds RecordingClock::Total() const {
  std::chrono::milliseconds total{0};
  for (auto pause : pauses) total += pause;
  return total;
}

}  // namespace velkor::setup
