#pragma once
// The status poll while the live plot is open: it reads only position and
// position error, one question after the other, as fast as the line
// answers, and stamps each sample with the time its answers were taken.

#include <functional>
#include <vector>

#include "setup/live/sample_trace.h"
#include "setup/live/status_monitor.h"

namespace velkor::setup {

// Seconds on a steady clock; tests step their own.
using TimeSource = std::function<double()>;
double SteadySeconds();

// How often a burst does what a tick of the status poll does besides
// reading: show Position and PosError, feed CLK to a continuous test move,
// and hand over the samples taken since the last time.
inline constexpr double kPlotTickSeconds = 0.1;

using SampleSink = std::function<void(std::vector<Sample>)>;

// Reads until `stop` says so (checked before each sample), then hands over
// what is left. A question that fails leaves no sample (a failed error
// reading: the last error read). Runs while a Go button is held, too: the
// plot is there to watch test moves.
void PlotBurst(LiveState& state, const AxisSettings& settings, MotorChannel& channel, View& view,
               const TimeSource& now, const std::function<bool()>& stop, const SampleSink& deliver);

}  // namespace velkor::setup
