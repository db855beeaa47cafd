#pragma once
// What the scans share: progress with cancellation, the channel forms of the
// line commands, sending to all motors, and the answer reads they tell apart.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/chain/chain.h"
#include "engine/core/errors.h"

namespace velkor::engine::scan {

// Thrown by Progress once the window asked to cancel and the end was sent.
struct Cancelled {};

// Notifies a step; a reply of 0 sends the end notification and throws Cancelled.
void Progress(const HostLink& link, std::intptr_t step);
void Begin(const HostLink& link, std::uint32_t code, std::intptr_t steps);
void End(const HostLink& link);

void Pause(std::chrono::milliseconds time);
inline constexpr std::chrono::milliseconds kSettle{50};

bool Is(const CVNXException& exception, ErrorCode code);

// "WAKE", "SLEEP" and "ECHO_OFF" take their "1" forms on the second channel.
std::string OnChannel(const HostLink& link, std::string_view command);

// SendCommand to address 0 with select set.
void ToAll(HostLink& link, std::string_view text);
// SendCommand to address 0 without select.
void ToAllUnselected(HostLink& link, std::string_view text);

// Sends a command and reads its answer line. nullopt when nothing at all
// came back (error 5 with no byte received); a line cut short by a
// time-out, like every other failure, is raised.
std::optional<std::string> AskQuietly(HostLink& link, std::string_view text, std::int32_t address, bool select);

// The answer a status bit gives: exactly "0" or "1".
bool IsBitAnswer(std::string_view answer);
// Decimal digits with an optional leading "-".
bool IsDecimal(std::string_view answer);

// Appends a motor at `address` and enters it in the table, keeping the
// link's motor count equal to the list's length.
std::shared_ptr<MotorRecord> Register(Chain& chain, std::int32_t address);
// Empties list and table.
void Forget(Chain& chain);

// With the raise flag the error passes on, else the result stands for it.
std::int32_t ResultOrRaise(std::int32_t flags, std::int32_t result, const CVNXException& error);

}  // namespace velkor::engine::scan
