#pragma once
// Trying gains on the motor: the factory set or the fields' values sent for
// a test (they last until the motor is reset; a download keeps them), and
// the slider that sets four gains in proportion.

#include <array>
#include <string>

#include "setup/live/command_log.h"
#include "setup/model/view.h"
#include "setup/transfer/motor_channel.h"

namespace velkor::setup {

using Gains = std::array<std::string, 7>;  // KP KI KD KV KA KL KG, as the fields hold them

inline constexpr std::array<const char*, 7> kGainTerms = {"KP=", "KI=", "KD=", "KV=", "KA=", "KL=", "KG="};
inline const Gains kFactoryGains = {"42", "28", "550", "0", "0", "20", "0"};
inline constexpr const char* kDefaultTuningHeader = ">:Default Tuning Values Sent To Motor:";
inline constexpr const char* kCustomTuningHeader = ">:Custom Tuning Values Sent To Motor:";

// Sends the header, each gain and "F", logging each; failures do not stop
// the sequence. Then the warning that the values are temporary.
void SendGains(const Gains& gains, const char* header, MotorChannel& motor, CommandLog& log, View& view);

// The slider at position t: KI, KD, KV, KA (KP, KL, KG stay as they are).
Gains SliderGains(int position, Gains gains);

}  // namespace velkor::setup
