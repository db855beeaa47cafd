#include "platform/serial/deadline.h"

#include <gtest/gtest.h>

#include "platform/serial/timeout_plan.h"

namespace velkor::serial {
namespace {

using namespace std::chrono_literals;
using Clock = Deadline::Clock;

TEST(SerialDeadline, CountsDownFromItsStartAndStopsAtZero) {
  const Clock::time_point start{};
  const Deadline deadline(start, 100ms);
  EXPECT_EQ(deadline.start(), start);
  EXPECT_FALSE(deadline.expired(start + 99ms));
  EXPECT_EQ(deadline.remaining(start + 30ms), Clock::duration(70ms));
  EXPECT_TRUE(deadline.expired(start + 100ms));
  EXPECT_EQ(deadline.remaining(start + 250ms), Clock::duration::zero());
}

TEST(SerialDeadline, PollWaitRoundsUpSoItNeverEndsEarly) {
  const Clock::time_point start{};
  const Deadline deadline(start, 10ms);
  EXPECT_EQ(deadline.PollMilliseconds(start + 9ms + 100us), 1);
  EXPECT_EQ(deadline.PollMilliseconds(start + 1us), 10);
  EXPECT_EQ(deadline.PollMilliseconds(start + 10ms), 0);
  EXPECT_EQ(deadline.PollMilliseconds(start + 1s), 0);
}

TEST(SerialDeadline, NeverExpiresAndWaitsWithoutLimit) {
  const Deadline never = Deadline::Never();
  EXPECT_TRUE(never.unlimited());
  EXPECT_FALSE(never.expired(Clock::time_point::max()));
  EXPECT_FALSE(never.remaining().has_value());
  EXPECT_EQ(never.PollMilliseconds(), -1);
}

TEST(SerialDeadline, EarlierPicksTheOneThatRunsOutFirst) {
  const Clock::time_point start{};
  const Deadline late(start, 500ms);
  const Deadline soon(start + 100ms, 50ms);
  const Deadline never = Deadline::Never();
  EXPECT_EQ(&Deadline::Earlier(late, soon, start + 100ms), &soon);
  EXPECT_EQ(&Deadline::Earlier(soon, late, start + 100ms), &soon);
  EXPECT_EQ(&Deadline::Earlier(never, late, start), &late);
  EXPECT_EQ(&Deadline::Earlier(late, never, start), &late);
}

TEST(SerialTimeoutPlan, AllBitsIntervalWithoutTotalsReturnsAtOnce) {
  EXPECT_TRUE(PlanRead({kNoWait, 0, 0, 0, 0}, 10).immediate);
  // Any total makes it a waiting read again; the interval is then no limit.
  const ReadPlan waiting = PlanRead({kNoWait, 0, 100, 0, 0}, 10);
  EXPECT_FALSE(waiting.immediate);
  EXPECT_EQ(waiting.total, 100ms);
  EXPECT_FALSE(waiting.interval.has_value());
}

TEST(SerialTimeoutPlan, ReadTotalIsMultiplierTimesCountPlusConstant) {
  const ReadPlan plan = PlanRead({0, 13, 100, 0, 0}, 8);
  EXPECT_FALSE(plan.immediate);
  EXPECT_EQ(plan.total, 204ms);
  EXPECT_FALSE(plan.interval.has_value());
  EXPECT_EQ(PlanRead({20, 0, 0, 0, 0}, 8).interval, 20ms);
  const ReadPlan unlimited = PlanRead({0, 0, 0, 0, 0}, 8);
  EXPECT_FALSE(unlimited.total.has_value());
  EXPECT_FALSE(unlimited.immediate);
}

TEST(SerialTimeoutPlan, WaitForFirstDataCombination) {
  const ReadPlan plan = PlanRead({kNoWait, kNoWait, 250, 0, 0}, 64);
  EXPECT_TRUE(plan.endOnFirstData);
  EXPECT_EQ(plan.total, 250ms);
}

TEST(SerialTimeoutPlan, WriteLimitAndItsCeiling) {
  EXPECT_EQ(WriteLimit({0, 0, 0, 1, 2}, 8), 10ms);
  EXPECT_FALSE(WriteLimit({0, 0, 0, 0, 0}, 8).has_value());
  const auto huge = WriteLimit({0, 0, 0, kNoWait, kNoWait}, std::size_t{1} << 50);
  ASSERT_TRUE(huge.has_value());
  EXPECT_GT(*huge, std::chrono::hours(24 * 365));
  EXPECT_FALSE(Deadline::After(*huge).expired());
}

}  // namespace
}  // namespace velkor::serial
