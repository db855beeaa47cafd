#pragma once
// The terminal: a raw command typed by the user and the motor's answer, in
// the motor's own units. Changing the line rate here would cut the host off
// from the motor, so it is refused.

#include <string_view>

#include "setup/model/view.h"
#include "setup/transfer/motor_channel.h"

namespace velkor::setup {

// Enter in `CommandText`: the refusal of a rate change, or the command sent
// and its answer shown in `ResponseText`; the command text is selected for
// the next one either way. True when something was sent.
bool TerminalEnter(std::string_view command, MotorChannel& motor, View& view);

// "BAUD" as the first four characters, or after one address digit.
bool ChangesLineRate(std::string_view command);

}  // namespace velkor::setup
