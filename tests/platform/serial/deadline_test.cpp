#include "platform/serial/deadline.h"

#include <gtest/gtest.h>

#include "platform/serial/timeout_plan.h"

namespace velkor::serial {
namespace {

using namespace std::chrono_literals;
using Clock = Deadline::Clock;

TEST(SerialDeadline, CountsDownAndRoundsPollWaitsUp) {
  const Clock::time_point start{};
  const Deadline deadline(start, 10ms);
  EXPECT_FALSE(deadline.expired(start + 9ms));
  EXPECT_TRUE(deadline.expired(start + 10ms));
  EXPECT_EQ(deadline.remaining(start + 3ms), Clock::duration(7ms));
  EXPECT_EQ(deadline.remaining(start + 1s), Clock::duration::zero());
  // A wait never ends just short of the limit.
  EXPECT_EQ(deadline.PollMilliseconds(start + 9ms + 100us), 1);
  EXPECT_EQ(deadline.PollMilliseconds(start + 1us), 10);
  EXPECT_EQ(deadline.PollMilliseconds(start + 1s), 0);

  const Deadline never = Deadline::Never();
  EXPECT_FALSE(never.expired(Clock::time_point::max()));
  EXPECT_FALSE(never.remaining().has_value());
  EXPECT_EQ(never.PollMilliseconds(), -1);
}

TEST(SerialDeadline, EarlierPicksTheOneThatRunsOutFirst) {
  const Clock::time_point start{};
  const Deadline late(start, 500ms), soon(start + 100ms, 50ms), never = Deadline::Never();
  EXPECT_EQ(&Deadline::Earlier(late, soon, start + 100ms), &soon);
  EXPECT_EQ(&Deadline::Earlier(soon, late, start + 100ms), &soon);
  EXPECT_EQ(&Deadline::Earlier(never, late, start), &late);
  EXPECT_EQ(&Deadline::Earlier(late, never, start), &late);
}

TEST(SerialTimeoutPlan, TheFiveFieldsGiveTheReadPlan) {
  using Ms = std::optional<std::chrono::milliseconds>;
  struct Case {
    Timeouts timeouts;
    bool immediate, endOnFirstData;
    Ms total, interval;
  } const cases[] = {
      {{kNoWait, 0, 0, 0, 0}, true, false, {}, {}},             // take what is waiting
      {{kNoWait, 0, 100, 0, 0}, false, false, 100ms, {}},       // a total makes it wait again
      {{kNoWait, kNoWait, 250, 0, 0}, false, true, 250ms, {}},  // wait for the first data
      {{0, 13, 100, 0, 0}, false, false, 204ms, {}},            // 13 x 8 + 100
      {{20, 0, 0, 0, 0}, false, false, {}, 20ms},
      {{0, 0, 0, 0, 0}, false, false, {}, {}},                  // no limit at all
  };
  for (const Case& c : cases) {
    const ReadPlan plan = PlanRead(c.timeouts, 8);
    SCOPED_TRACE(::testing::Message() << c.timeouts.readInterval << "/" << c.timeouts.readMultiplier << "/"
                                      << c.timeouts.readConstant);
    EXPECT_EQ(plan.immediate, c.immediate);
    EXPECT_EQ(plan.endOnFirstData, c.endOnFirstData);
    EXPECT_EQ(plan.total, c.total);
    EXPECT_EQ(plan.interval, c.interval);
  }
}

TEST(SerialTimeoutPlan, WriteLimitAndItsCeiling) {
  EXPECT_EQ(WriteLimit({0, 0, 0, 1, 2}, 8), 10ms);
  EXPECT_FALSE(WriteLimit({0, 0, 0, 0, 0}, 8).has_value());
  const auto huge = WriteLimit({0, 0, 0, kNoWait, kNoWait}, std::size_t{1} << 50);
  ASSERT_TRUE(huge.has_value());
  EXPECT_GT(*huge, std::chrono::hours(24 * 365));
  EXPECT_FALSE(Deadline::After(*huge).expired());  // no overflow into the past
}

}  // namespace
}  // namespace velkor::serial
