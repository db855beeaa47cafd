#include "platform/serial/timeout_plan.h"

#include <cstdint>

namespace velkor::serial {
namespace {

// multiplier * n + constant in ms, held far below the clock's range so that
// start + limit cannot overflow (2^40 ms is some 34 years).
std::optional<std::chrono::milliseconds> TotalLimit(std::uint32_t multiplier, std::uint32_t constant,
                                                    std::size_t byteCount) {
  if (multiplier == 0 && constant == 0) return std::nullopt;
  constexpr std::uint64_t kCeiling = std::uint64_t{1} << 40;
  const std::uint64_t count = byteCount > kCeiling ? kCeiling : byteCount;
  std::uint64_t ms = std::uint64_t{multiplier} * count + constant;
  if (ms > kCeiling) ms = kCeiling;
  return std::chrono::milliseconds(static_cast<std::int64_t>(ms));
}

}  // namespace

ReadPlan PlanRead(const Timeouts& t, std::size_t byteCount) {
  ReadPlan plan;
  if (t.readInterval == kNoWait && t.readMultiplier == 0 && t.readConstant == 0) {
    plan.immediate = true;
    return plan;
  }
  // The platform's "wait for anything, at most readConstant" combination.
  if (t.readInterval == kNoWait && t.readMultiplier == kNoWait && t.readConstant != 0 &&
      t.readConstant != kNoWait) {
    plan.endOnFirstData = true;
    plan.total = std::chrono::milliseconds(t.readConstant);
    return plan;
  }
  plan.total = TotalLimit(t.readMultiplier, t.readConstant, byteCount);
  // An interval of all bits set outside the combinations above is 49 days:
  // in practice no gap limit.
  if (t.readInterval != 0 && t.readInterval != kNoWait) plan.interval = std::chrono::milliseconds(t.readInterval);
  return plan;
}

std::optional<std::chrono::milliseconds> WriteLimit(const Timeouts& t, std::size_t byteCount) {
  return TotalLimit(t.writeMultiplier, t.writeConstant, byteCount);
}

}  // namespace velkor::serial
