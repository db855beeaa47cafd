// Path generation on its own: the planned phases, the samples they give,
// the geometry of lines and arcs, chaining, and what is refused.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <vector>

#include "engine/core/errors.h"
#include "engine/motion/path_state.h"
#include "tests/support/engine_error.h"

using velkor::testing::ErrorCodeOf;

namespace velkor::engine::motion {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kNear = 1e-9;
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::vector<double> Column(const PathTable& table, std::int32_t axis) {
  std::vector<double> values;
  for (std::size_t i = 0; i < table.Size(); ++i) values.push_back(table.Position(i, axis));
  return values;
}

std::vector<std::int32_t> Clocks(const PathTable& table) {
  std::vector<std::int32_t> clocks;
  for (std::size_t i = 0; i < table.Size(); ++i) clocks.push_back(table.Clock(i));
  return clocks;
}

void ExpectValues(const std::vector<double>& actual, const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) EXPECT_NEAR(actual[i], expected[i], kNear) << "sample " << i;
}

PathState Planner(std::int32_t step, double acceleration, double startSpeed = 0, double endSpeed = 0) {
  PathState path;
  path.SetTimeDelta(step);
  path.SetAcceleration(acceleration);
  path.SetStartSpeed(startSpeed);
  path.SetEndSpeed(endSpeed);
  return path;
}

// T = 10, a = 1, from standing to standing.
PathState Standard() { return Planner(10, 1); }
// A step of 1 for arcs, so that their samples lie close together.
PathState Fine() { return Planner(1, 1); }

TEST(PathLength, AcceleratesCruisesAndStopsInWholeSteps) {
  PathState path = Standard();
  path.SetStartClock(100);
  const PathTable& table = path.CreatePath(10, 1000);

  EXPECT_EQ(table.AxisCount(), 1);
  const std::vector<double> all = {0, 50, 150, 250, 350, 450, 550, 650, 750, 850, 950, 1000};
  ExpectValues(Column(table, 0), all);
  std::vector<std::int32_t> clocks;
  for (std::int32_t k = 0; k < 12; ++k) clocks.push_back(100 + 10 * k);
  EXPECT_EQ(Clocks(table), clocks);
  EXPECT_EQ(path.StartClock(), 100 + 12 * 10);
  EXPECT_EQ(path.StartSpeed(), 0);

  // Generating leaves out the start sample, yet moves the clock past it too.
  const PathTable& rest = path.GeneratePath(10, 1000);
  ExpectValues(Column(rest, 0), std::vector<double>(all.begin() + 1, all.end()));
  EXPECT_EQ(rest.Clock(0), 230);
  EXPECT_EQ(path.StartClock(), 220 + 12 * 10);
}

TEST(PathLength, ShortPathPeaksWithoutCruising) {
  PathState path = Standard();
  ExpectValues(Column(path.CreatePath(10, 60), 0), {0, 30, 60});
  const SpeedProfile& profile = path.Profile();
  EXPECT_DOUBLE_EQ(profile.phase1End, 10);
  EXPECT_DOUBLE_EQ(profile.phase2End, 10);
  EXPECT_DOUBLE_EQ(profile.total, 20);
  EXPECT_NEAR(profile.acceleration1, 0.6, kNear);
  EXPECT_NEAR(profile.acceleration3, -0.6, kNear);
}

TEST(PathLength, KeepingTheSpeedEndsAtMaxSpeedAndTheNextPathStartsThere) {
  PathState path = Standard();
  path.SetSlowToEndSpeed(false);
  path.CreatePath(10, 500);
  EXPECT_NEAR(path.StartSpeed(), 10, kNear);
  EXPECT_EQ(path.EffectiveEndSpeed(), 10);

  // Already at speed: the next path cruises from its first step.
  const PathTable& next = path.GeneratePath(10, 1000);
  ExpectValues(Column(next, 0), {100, 200, 300, 400, 500, 600, 700, 800, 900, 1000});
  EXPECT_NEAR(path.StartSpeed(), 10, kNear);
}

TEST(PathLength, EndSpeedIsLoweredToWhatTheLengthAllows) {
  PathState path = Standard();
  path.SetEndSpeed(8);
  path.CreatePath(10, 2);
  EXPECT_NEAR(path.EffectiveEndSpeed(), 2, kNear) << "sqrt(2 a L)";
}

// Whatever the speeds, the plan covers the length exactly, in whole steps,
// and ends at the effective end speed.
TEST(PathPlanning, EveryPlanCoversItsLengthAndEndsAtItsEndSpeed) {
  const double lengths[] = {0.5, 7, 60, 1000, 12345.6};
  const double startSpeeds[] = {0, 3, 12};
  const double endSpeeds[] = {0, 4, 15};
  const double maxSpeeds[] = {2, 10};
  const double accelerations[] = {0.05, 0.5, 2};
  const std::int32_t steps[] = {1, 10};
  int plans = 0;
  for (double length : lengths)
    for (double vs : startSpeeds)
      for (double ve : endSpeeds)
        for (double vmax : maxSpeeds)
          for (double a : accelerations)
            for (std::int32_t step : steps)
              for (bool slow : {true, false}) {
                PathState path = Planner(step, a, vs, ve);
                path.SetSlowToEndSpeed(slow);
                SCOPED_TRACE(::testing::Message() << "L " << length << " vs " << vs << " ve " << ve << " vmax "
                                                  << vmax << " a " << a << " T " << step << " slow " << slow);
                const PathTable& table = path.CreatePath(vmax, length);
                const SpeedProfile& profile = path.Profile();
                for (double end : {profile.phase1End, profile.phase2End, profile.total})
                  EXPECT_EQ(std::fmod(end, step), 0);
                EXPECT_LE(profile.phase1End, profile.phase2End);
                EXPECT_LE(profile.phase2End, profile.total);
                EXPECT_EQ(table.Size(), static_cast<std::size_t>(profile.total / step) + 1);
                EXPECT_NEAR(table.Position(table.Size() - 1, 0), length, 1e-6 * length);
                EXPECT_NEAR(path.StartSpeed(), std::max(path.EffectiveEndSpeed(), 0.0), 1e-6);
                ++plans;
              }
  EXPECT_EQ(plans, 1080);
}

// Two corners where the exact plan and the whole steps disagree.
TEST(PathPlanning, RoundingAndWholeStepsStillGiveAPlan) {
  // The end speed is lowered to the reachable one, which puts the peak
  // right at the start: the first phase still gets a step.
  PathState reachable = Planner(1, 0.5, 3, 4);
  const PathTable& first = reachable.CreatePath(2, 0.5);
  EXPECT_NEAR(first.Position(first.Size() - 1, 0), 0.5, kNear);
  EXPECT_NEAR(reachable.StartSpeed(), std::sqrt(9.5), kNear);

  // Slowing to 2 and speeding up to 15 leaves a short cruise, which the
  // whole steps take away: there is no turning speed then, and the phases
  // are fitted as they are.
  PathState dip = Planner(1, 2, 3, 15);
  const PathTable& second = dip.CreatePath(2, 60);
  EXPECT_EQ(second.Size(), 9u) << "1 step down, 7 up";
  EXPECT_NEAR(second.Position(8, 0), 60, kNear);
  EXPECT_NEAR(dip.StartSpeed(), 15, kNear);
}

TEST(PathPlanning, TwoPhasesJoinTheSpeedsOverTheLength) {
  const auto [first, second] = SolveTwoPhase(100, 10, 20, 2, 5);
  const double middle = 2 + first * 10;
  EXPECT_NEAR(middle + second * 20, 5, kNear);
  EXPECT_NEAR((2 + middle) / 2 * 10 + (middle + 5) / 2 * 20, 100, kNear);
}

// Every sample lies on the segment, all axes in proportion, up to its end.
TEST(PathLine, SamplesLieOnTheSegmentInEveryAxis) {
  PathState path = Standard();
  const std::vector<double> end = {100, -200, 300, -400, 500, -600};
  const PathTable& table = path.CreateLinePath(10, end);
  EXPECT_EQ(table.AxisCount(), 6);
  EXPECT_DOUBLE_EQ(path.TotalLength(), std::sqrt(910000.0));
  ASSERT_GT(table.Size(), 10u);
  for (std::size_t i = 0; i < table.Size(); ++i) {
    const double part = table.Position(i, 0) / 100;
    EXPECT_GE(part, -kNear);
    EXPECT_LE(part, 1 + kNear);
    for (std::int32_t axis = 1; axis < 6; ++axis) EXPECT_NEAR(table.Position(i, axis), end[axis] * part, 1e-9);
  }
  for (std::int32_t axis = 0; axis < 6; ++axis) EXPECT_NEAR(table.Position(table.Size() - 1, axis), end[axis], 1e-9);
}

TEST(PathLine, ChainsItsEndPointAndClock) {
  PathState path = Standard();
  path.SetStartClock(7);
  path.SetStartPoint(3, 25);
  const std::size_t count = path.CreateLinePath(10, std::vector<double>{300, 400}).Size();
  EXPECT_EQ(path.StartPoint(1), 300);
  EXPECT_EQ(path.StartPoint(2), 400);
  EXPECT_EQ(path.StartPoint(3), 25) << "an axis the line does not name stays where it was";
  EXPECT_EQ(path.StartClock(), 7 + static_cast<std::int32_t>(count) * 10);

  // Back to the origin: continues from (300, 400) at the next clock.
  const std::int32_t clock = path.StartClock();
  const PathTable& back = path.CreateLinePath(10, std::vector<double>{0, 0});
  EXPECT_EQ(back.Position(0, 0), 300);
  EXPECT_EQ(back.Position(0, 1), 400);
  EXPECT_EQ(back.Clock(0), clock);
  EXPECT_NEAR(back.Position(back.Size() - 1, 0), 0, 1e-9);
}

// Counterclockwise angles of the samples about the origin, unwrapped.
std::vector<double> Angles(const PathTable& table) {
  std::vector<double> angles;
  for (std::size_t i = 0; i < table.Size(); ++i) {
    double angle = std::atan2(table.Position(i, 1), table.Position(i, 0));
    if (!angles.empty()) {
      while (angle - angles.back() > kPi) angle -= 2 * kPi;
      while (angle - angles.back() < -kPi) angle += 2 * kPi;
    }
    angles.push_back(angle);
  }
  return angles;
}

TEST(PathArc, DirectionChoosesTheQuarterOrTheRest) {
  const std::vector<double> end = {0, 10};
  const std::vector<double> center = {0, 0};
  for (bool clockwise : {false, true}) {
    SCOPED_TRACE(clockwise ? "clockwise" : "counterclockwise");
    PathState path = Fine();
    path.SetStartPoint(1, 10);
    const PathTable& table = path.CreateArcPath(5, end, center, clockwise);
    const double sweep = clockwise ? 3 * kPi / 2 : kPi / 2;
    EXPECT_NEAR(path.TotalLength(), 10 * sweep, kNear);
    EXPECT_DOUBLE_EQ(path.Radius(), 10);
    EXPECT_EQ(path.Kind(), clockwise ? PathKind::ClockwiseArc : PathKind::CounterclockwiseArc);
    for (std::size_t i = 0; i < table.Size(); ++i)
      EXPECT_NEAR(std::hypot(table.Position(i, 0), table.Position(i, 1)), 10, 1e-9);
    const std::vector<double> angles = Angles(table);
    EXPECT_NEAR(angles.back() - angles.front(), clockwise ? -sweep : sweep, 1e-9);
    EXPECT_NEAR(table.Position(table.Size() - 1, 0), 0, 1e-9);
    EXPECT_NEAR(table.Position(table.Size() - 1, 1), 10, 1e-9);
    EXPECT_EQ(path.StartPoint(1), 0);
    EXPECT_EQ(path.StartPoint(2), 10);
  }
}

TEST(PathArc, EndAtTheStartIsAFullCircle) {
  PathState path = Fine();
  path.SetStartPoint(1, 13);
  path.SetStartPoint(2, 4);
  const PathTable& table = path.CreateArcPath(5, std::vector<double>{13, 4}, std::vector<double>{10, 4}, false);
  EXPECT_NEAR(path.TotalLength(), 2 * kPi * 3, kNear);
  double leftmost = 13;
  for (std::size_t i = 0; i < table.Size(); ++i) leftmost = std::min(leftmost, table.Position(i, 0));
  EXPECT_NEAR(leftmost, 7, 0.05) << "goes round to the far side of the centre";
  EXPECT_NEAR(table.Position(table.Size() - 1, 0), 13, 1e-9);
  EXPECT_NEAR(table.Position(table.Size() - 1, 1), 4, 1e-9);
}

TEST(PathArc, OnlyTheEndPointsAngleCounts) {
  PathState path = Fine();
  path.SetStartPoint(1, 10);
  const PathTable& table = path.CreateArcPath(5, std::vector<double>{0, 99}, std::vector<double>{0, 0}, false);
  EXPECT_NEAR(table.Position(table.Size() - 1, 1), 10, 1e-9) << "stays on the circle of the start";
  EXPECT_EQ(path.StartPoint(2), 99) << "the next path starts at the given end point";
}

TEST(PathArc, HelixRisesAlongTheNormalAxisInEachPlane) {
  struct Case {
    std::int32_t plane;
    std::int32_t u, w, n;
  };
  for (const Case& c : {Case{0, 0, 1, 2}, Case{1, 0, 2, 1}, Case{2, 1, 2, 0}}) {
    SCOPED_TRACE(::testing::Message() << "plane " << c.plane);
    PathState path = Fine();
    path.SetPlane(c.plane);
    path.SetStartPoint(c.u + 1, 10);
    std::vector<double> end(3, 0);
    end[c.w] = 10;
    end[c.n] = 30;
    const PathTable& table = path.CreateArcPath(5, end, std::vector<double>(3, 0), false);
    EXPECT_NEAR(path.TotalLength(), std::hypot(30, 10 * kPi / 2), kNear);
    EXPECT_EQ(table.AxisCount(), 3);
    for (std::size_t i = 0; i < table.Size(); ++i) {
      EXPECT_NEAR(std::hypot(table.Position(i, c.u), table.Position(i, c.w)), 10, 1e-9);
      // The rise is the same share of 30 as the turn is of the quarter.
      const double turned = std::atan2(table.Position(i, c.w), table.Position(i, c.u)) / (kPi / 2);
      EXPECT_NEAR(table.Position(i, c.n), 30 * turned, 1e-6);
    }
    EXPECT_NEAR(table.Position(table.Size() - 1, c.n), 30, 1e-9);
  }
}

TEST(PathArc, RefusesWhatIsNoArc) {
  PathState path = Standard();
  path.SetStartPoint(1, 10);
  const std::vector<double> two = {0, 10};
  const std::vector<double> origin = {0, 0};
  EXPECT_EQ(ErrorCodeOf([&] { path.CreateArcPath(5, std::vector<double>{0, 10, 0, 0}, std::vector<double>(4, 0), false); }),
            19u)
      << "more than three coordinates";
  EXPECT_EQ(ErrorCodeOf([&] { path.CreateArcPath(5, two, std::vector<double>{0, 0, 0}, false); }), 19u)
      << "centre of another count";
  EXPECT_EQ(ErrorCodeOf([&] { path.CreateArcPath(5, two, std::vector<double>{10, 0}, false); }), 19u) << "zero radius";
  path.SetPlane(1);
  EXPECT_EQ(ErrorCodeOf([&] { path.CreateArcPath(5, two, origin, false); }), 19u) << "plane 1 needs axis 3";
  EXPECT_EQ(path.StartClock(), 0) << "nothing was generated";
}

TEST(PathProperties, StartAtTheirDefaultsAndRefuseBadValues) {
  PathState path;
  EXPECT_EQ(path.EndSpeed(), 0);
  EXPECT_EQ(path.Acceleration(), 0);
  EXPECT_EQ(path.StartSpeed(), 0);
  EXPECT_EQ(path.StartClock(), 0);
  EXPECT_EQ(path.TimeDelta(), 0);
  EXPECT_EQ(path.Plane(), 0);
  EXPECT_TRUE(path.SlowToEndSpeed());
  for (std::int32_t axis = 1; axis <= 6; ++axis) EXPECT_EQ(path.StartPoint(axis), 0);

  EXPECT_EQ(ErrorCodeOf([&] { path.SetEndSpeed(-1); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.SetAcceleration(-0.5); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.SetStartSpeed(-2); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.SetTimeDelta(-1); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.SetupTimeDelta(-8); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.SetPlane(3); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.SetPlane(-1); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.StartPoint(0); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.SetStartPoint(7, 1); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.SetEndSpeed(kNan); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.SetAcceleration(kInfinity); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.SetStartPoint(1, kNan); }), 19u);
  EXPECT_EQ(path.EndSpeed(), 0) << "a refused value is not stored";
  path.SetTimeDelta(0);  // refused only when a path is generated, as is a negative StartClock
}

TEST(PathProperties, DefaultsGenerateNothing) {
  PathState path;
  const std::vector<double> end = {1, 1};
  const std::vector<double> center = {0, 1};
  const std::function<void()> generators[] = {
      [&] { path.GeneratePath(1, 10); },
      [&] { path.CreatePath(1, 10); },
      [&] { path.GenerateLinePath(1, end); },
      [&] { path.CreateLinePath(1, end); },
      [&] { path.GenerateArcPath(1, end, center, false); },
      [&] { path.CreateArcPath(1, end, center, true); },
  };
  for (const auto& generate : generators) EXPECT_EQ(ErrorCodeOf(generate), 19u);
}

TEST(PathChecks, ZeroAccelerationOnlyKeepsTheSpeed) {
  PathState path = Planner(10, 0, 5);
  EXPECT_EQ(ErrorCodeOf([&] { path.CreatePath(6, 100); }), 19u) << "MaxSpeed differs";
  EXPECT_EQ(ErrorCodeOf([&] { path.CreatePath(5, 100); }), 19u) << "EndSpeed 0 differs while slowing to it";
  path.SetEndSpeed(5);
  ExpectValues(Column(path.CreatePath(5, 100), 0), {0, 50, 100});
  EXPECT_EQ(path.StartSpeed(), 5);
}

TEST(PathChecks, RefusesBadGeneratorArguments) {
  PathState path = Standard();
  EXPECT_EQ(ErrorCodeOf([&] { path.GeneratePath(-1, 10); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.GeneratePath(1, -10); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.GeneratePath(kNan, 10); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.GeneratePath(1, kInfinity); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.CreateLinePath(kInfinity, std::vector<double>{1}); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.CreateLinePath(-1, std::vector<double>{1}); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.CreateLinePath(1, std::vector<double>(7, 1)); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.CreateLinePath(1, std::vector<double>{}); }), 19u);
  EXPECT_EQ(ErrorCodeOf([&] { path.CreateLinePath(1, std::vector<double>{1, kNan}); }), 19u);
  path.SetStartClock(-1);
  EXPECT_EQ(ErrorCodeOf([&] { path.CreatePath(1, 10); }), 19u);
}

// Plans without a finite end are refused at once, and leave the state as it was.
TEST(PathChecks, RefusesEndlessPlans) {
  PathState path = Standard();
  path.SetStartClock(30);
  path.CreatePath(10, 60);
  const std::vector<double> before = Column(path.Samples(), 0);

  EXPECT_EQ(ErrorCodeOf([&] { path.CreatePath(0, 100); }), 19u) << "positive length at MaxSpeed 0";
  EXPECT_EQ(ErrorCodeOf([&] { path.CreateLinePath(0, std::vector<double>{3, 4}); }), 19u);

  PathState still = Planner(10, 0);
  EXPECT_EQ(ErrorCodeOf([&] { still.CreatePath(0, 100); }), 19u) << "no speed at either end and no acceleration";

  EXPECT_EQ(Column(path.Samples(), 0), before);
  EXPECT_EQ(path.StartPoint(1), 0);
  EXPECT_EQ(path.StartClock(), 60);

  // The clock cannot run past its 32 bits.
  const std::int32_t late = std::numeric_limits<std::int32_t>::max() - 25;
  path.SetStartClock(late);
  EXPECT_EQ(ErrorCodeOf([&] { path.CreatePath(10, 60); }), 19u);
  EXPECT_EQ(path.StartClock(), late);
  EXPECT_EQ(path.CreatePath(10, 0).Size(), 1u) << "one more sample still fits";
  EXPECT_EQ(path.StartClock(), late + 10);

  EXPECT_EQ(path.CreatePath(0, 0).Size(), 1u) << "standing still at MaxSpeed 0 is fine";
}

TEST(PathChecks, TableBeyondTheSampleLimitFailsBeforeAllocating) {
  PathState path = Fine();
  const auto start = std::chrono::steady_clock::now();
  // About a hundred million steps at speed 1.
  EXPECT_EQ(ErrorCodeOf([&] { path.CreatePath(1, 1e8); }), 31u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(path.StartClock(), 0);
  EXPECT_EQ(ErrorCodeOf([&] { path.CreatePath(1e-12, 1); }), 31u) << "a crawl that would take forever";
}

}  // namespace
}  // namespace velkor::engine::motion
