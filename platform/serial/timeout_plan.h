#pragma once
// How the platform's five time-outs govern one read or write of n bytes,
// worked out once before the transfer starts.

#include <chrono>
#include <cstddef>
#include <optional>

#include "platform/serial/serial_port.h"

namespace velkor::serial {

struct ReadPlan {
  bool immediate = false;        // take what is waiting, never wait
  bool endOnFirstData = false;   // wait for the first bytes only, then return
  std::optional<std::chrono::milliseconds> total;     // none: no total limit
  std::optional<std::chrono::milliseconds> interval;  // none: no gap limit
};

ReadPlan PlanRead(const Timeouts& timeouts, std::size_t byteCount);

// The whole time a write of byteCount bytes may take; none: no limit.
std::optional<std::chrono::milliseconds> WriteLimit(const Timeouts& timeouts, std::size_t byteCount);

}  // namespace velkor::serial
