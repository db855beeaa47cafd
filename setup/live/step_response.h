#pragma once
// A step response: a motion function's test move run for a set time while
// the plot's poll records position and error, and the figures that make
// tuning measurable. The figures are worked out from the samples alone, so
// that they can be checked against a curve whose figures are known.

#include <optional>
#include <string>
#include <vector>

#include "setup/live/plot_poll.h"
#include "setup/live/test_moves.h"

namespace velkor::setup {

struct StepFigures {
  std::optional<double> riseTime;      // seconds from 10 % to 90 % of the step
  double overshoot = 0;                // percent of the step beyond the target
  std::optional<double> settlingTime;  // seconds from the command until it stays within the band
  double finalError = 0;               // counts: target less the last position
  double sampleRate = 0;               // samples per second achieved
};

// `band`: the settling band as a fraction of the step (0.02: 2 %).
StepFigures StepFiguresOf(const Samples& samples, double moveStart, double start, double target,
                          double band);

struct StepRequest {
  int function = 0;
  double seconds = 1;  // how long the Go button is held
  double band = 0.02;
};

struct StepRecord {
  Samples samples;
  double moveStart = 0;  // when the move was commanded, on the samples' clock
  double start = 0;      // counts
  double target = 0;     // counts
  std::optional<std::string> refusal;  // why nothing was recorded
};

// Presses the function's Go button, records for the set time, releases it.
// Only an absolute or relative move has a step to measure.
StepRecord RecordStep(const StepRequest& request, AxisSettings& settings, TestMoves& moves, LiveState& state,
                      MotorChannel& channel, View& view, const TimeSource& now);

// The figures as the window lists them, in the user's unit.
std::vector<std::string> StepFiguresText(const StepFigures& figures, const StepRequest& request,
                                         const AxisSettings& settings);

}  // namespace velkor::setup
