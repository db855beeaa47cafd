// The live plot's poll and figures: timing from a stepped clock, the kept
// stretch and its CSV, step-response figures on curves whose figures are
// known, and a step response recorded from a simulated motor.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "setup/live/step_response.h"
#include "tests/setup/live/selected_motor.h"
#include "tests/setup/recording_view.h"
#include "tests/setup/scripted_channel.h"

namespace velkor::setup {
namespace {

// Each question takes 5 ms of line time on a clock that only the line moves;
// the questions listed in `unanswered` time out after 50 ms instead.
struct SteppedLine : testing::ScriptedChannel {
  std::optional<std::string> HostAsk(std::string_view command) override {
    const bool fails = questions < unanswered.size() && unanswered[questions];
    ++questions;
    clock += fails ? 0.05 : 0.005;
    return fails ? std::nullopt : ScriptedChannel::HostAsk(command);
  }
  double clock = 100;
  std::size_t questions = 0;
  std::vector<bool> unanswered;
};

TEST(PlotPoll, SamplesCarryTheTimeTheyWereTakenAndTheFiguresCountTheGaps) {
  SteppedLine line;
  line.answers = {{" RP", "4000\r"}, {" RPE", "-3\r"}};
  line.unanswered.resize(200);
  line.unanswered[20] = true;  // the 11th position question
  LiveState state;
  state.pollingOn = true;
  state.clockFeedOn = true;
  AxisSettings settings;  // 2000 counts per mm
  testing::RecordingView view;
  SampleTrace trace;
  std::size_t deliveries = 0;
  PlotBurst(state, settings, line, view, [&] { return line.clock; }, [&] { return line.clock >= 101.505; },
            [&](std::vector<Sample> taken) {
              ++deliveries;
              for (const Sample& sample : taken) trace.Add(sample);
            });
  const auto& samples = trace.Samples();
  ASSERT_EQ(samples.size(), 146u);  // 1.5 s of 10 ms samples, one question lost to a 50 ms time-out
  EXPECT_DOUBLE_EQ(samples[0].time, 100.0025) << "halfway through the position question";
  EXPECT_DOUBLE_EQ(samples[0].error, -3);
  EXPECT_EQ(deliveries, 15u);
  const TimingFigures timing = trace.Timing();
  EXPECT_NEAR(timing.largestGap, 0.06, 1e-9);
  EXPECT_NEAR(timing.achievedRate, 145 / (samples.back().time - samples.front().time), 1e-9);
  EXPECT_EQ(view.texts["Position"], "2");
  EXPECT_EQ(view.texts["PosError"], "-3");
  // A tick every 0.1 s; the clock feed a continuous test move needs goes on
  // from the 11th.
  EXPECT_EQ(std::count(line.sent.begin(), line.sent.end(), "CLK=0"), 5);
}

TEST(PlotPoll, TheTraceKeepsItsLastSecondsAndExportsThemWithUnits) {
  SampleTrace trace(1.0);
  for (int i = 0; i <= 30; ++i) trace.Add({i * 0.1, i * 200.0, 2.0 * (i % 2)});
  trace.Add({2.5, 0, 0});  // from before the last sample: dropped
  ASSERT_EQ(trace.Samples().size(), 11u);
  EXPECT_DOUBLE_EQ(trace.Samples().front().time, 2.0);
  trace.Keep(100);
  trace.Resume();
  trace.Add({10.0, 6200, 0});
  const TimingFigures timing = trace.Timing();
  EXPECT_NEAR(timing.largestGap, 0.1, 1e-9) << "a pause is no gap of the poll";
  EXPECT_NEAR(timing.achievedRate, 10, 1e-9);
  EXPECT_EQ(TimingText(timing), "10 samples/s, largest gap 100 ms, 12 samples");
  trace.Keep(0.6);
  trace.Add({10.5, 7200, -4});

  AxisSettings settings;
  const std::string csv = CsvOf(trace.Samples(), settings);
  EXPECT_EQ(csv,
            "time (s),position (mm),position error (mm),speed (mm/s),position (counts),position error (counts),"
            "speed (counts/s)\n"
            "0,3.1,0,,6200,0,\n"
            "0.5,3.6,-0.002,1,7200,-4,2000\n");
  const PlotCurves counts = CurvesOf(trace.Samples(), settings, true);
  EXPECT_EQ(counts.speedUnit, "counts/s");
  ASSERT_EQ(counts.speed.size(), 1u);
  EXPECT_DOUBLE_EQ(counts.speed[0].value, 2000);
}

// A move of 1000 counts that ramps for a second from t = 1, overshoots by
// 10 % and comes back, sampled every 10 ms.
Samples OvershootingStep() {
  Samples samples;
  for (int i = 0; i <= 400; ++i) {
    const double t = i * 0.01;
    // 1100 at t = 2, then back to within 2 % of the step at t = 2 + 0.2 ln 5.
    const double p = t < 1 ? 0 : t < 2 ? 1100 * (t - 1) : 1000 + 100 * std::exp(-(t - 2) / 0.2);
    samples.push_back({t, p, 0});
  }
  return samples;
}

TEST(StepResponse, FiguresOfCurvesWithKnownFigures) {
  const Samples curve = OvershootingStep();
  const StepFigures figures = StepFiguresOf(curve, 1.0, 0, 1000, 0.02);
  ASSERT_TRUE(figures.riseTime);
  EXPECT_NEAR(*figures.riseTime, 800.0 / 1100, 1e-9);  // 100 to 900 counts at 1100 counts/s
  EXPECT_NEAR(figures.overshoot, 10, 1e-9);
  ASSERT_TRUE(figures.settlingTime);
  EXPECT_NEAR(*figures.settlingTime, 1 + 0.2 * std::log(5.0), 0.011);  // 100 e^(-t/0.2) = 20
  EXPECT_NEAR(figures.finalError, -100 * std::exp(-2 / 0.2), 1e-9);
  EXPECT_NEAR(figures.sampleRate, 100, 1e-9);

  // Downwards the same; a curve that never gets there has no rise or settling time.
  Samples down = curve;
  for (Sample& sample : down) sample.position = 500 - sample.position;
  const StepFigures mirrored = StepFiguresOf(down, 1.0, 500, -500, 0.02);
  EXPECT_NEAR(*mirrored.riseTime, *figures.riseTime, 1e-9);
  EXPECT_NEAR(mirrored.overshoot, 10, 1e-9);
  const StepFigures halfway = StepFiguresOf(curve, 1.0, 0, 3000, 0.02);
  EXPECT_FALSE(halfway.riseTime);
  EXPECT_FALSE(halfway.settlingTime);
  EXPECT_EQ(halfway.overshoot, 0);
}

using StepResponseLiveTest = testing::SelectedMotor;

TEST_F(StepResponseLiveTest, ARelativeMoveHasTheFiguresOfItsProfile) {
  AxisSettings& settings = settings_;  // 2000 counts per mm
  settings.functions[3].mode = Mode::Relative;
  settings.functions[3].data = "10";   // 20000 counts
  settings.functions[3].vel = "10";    // 20000 counts/s
  settings.functions[3].acc = "100";   // 200000 counts/s2: 0.1 s to full speed
  const StepRequest request{3, 1.6, 0.02};
  const StepRecord record = RecordStep(request, settings, *moves_, state_, *channel_, view_, SteadySeconds);
  ASSERT_FALSE(record.refusal) << *record.refusal;
  EXPECT_EQ(record.target - record.start, 20000);
  const StepFigures figures = StepFiguresOf(record.samples, record.moveStart, record.start, record.target, request.band);
  // The profile: 10 % at 0.15 s, 90 % at 0.95 s, within 2 % from 1.037 s.
  ASSERT_TRUE(figures.riseTime);
  EXPECT_NEAR(*figures.riseTime, 0.8, 0.05);
  ASSERT_TRUE(figures.settlingTime);
  EXPECT_NEAR(*figures.settlingTime, 1.04, 0.1);
  EXPECT_LT(figures.overshoot, 2);
  EXPECT_LT(std::abs(figures.finalError), 20);
  EXPECT_GT(figures.sampleRate, 50);

  const std::vector<std::string> text = StepFiguresText(figures, request, settings);
  EXPECT_EQ(text.at(2).rfind("Settling time (2 % band): ", 0), 0u) << text.at(2);

  settings.functions[4].mode = Mode::Velocity;
  EXPECT_EQ(RecordStep({4, 1, 0.02}, settings, *moves_, state_, *channel_, view_, SteadySeconds).refusal,
            "Function 4 is no absolute or relative move, so it has no step to measure.");
}

}  // namespace
}  // namespace velkor::setup
