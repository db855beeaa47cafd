#pragma once
// What the live plot records: position and position error of the selected
// motor, each sample stamped with the time its answer was taken, kept for
// the last few seconds. The timing figures tell how often the line was
// actually read, so that a smooth curve cannot hide a missing stretch.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "setup/model/axis_settings.h"

namespace velkor::setup {

struct Sample {
  double time = 0;      // seconds on the poll's steady clock
  double position = 0;  // counts
  double error = 0;     // counts
  // The first sample after a pause: the time before it is no gap of the poll.
  bool resumed = false;
};

// Samples in time order.
using Samples = std::deque<Sample>;

struct TimingFigures {
  std::size_t count = 0;
  double achievedRate = 0;  // samples per second over the kept stretch
  double largestGap = 0;    // seconds between two samples in a row
};

// The figures of a run of samples in time order.
TimingFigures TimingOf(const Samples& samples);
// "48.3 samples/s, largest gap 31 ms, 483 samples".
std::string TimingText(const TimingFigures& figures);

class SampleTrace {
 public:
  explicit SampleTrace(double keepSeconds = 10) : keepSeconds_(keepSeconds) {}

  // A sample older than the last one is a clock fault: it is dropped, so
  // that the trace stays in time order.
  void Add(const Sample& sample);
  // Fewer seconds drop the oldest samples at once.
  void Keep(double seconds);
  void Clear() { samples_.clear(); }
  // The next sample starts a new stretch (after a pause).
  void Resume() { resumeNext_ = true; }

  double KeptSeconds() const { return keepSeconds_; }
  const setup::Samples& Samples() const { return samples_; }
  TimingFigures Timing() const { return TimingOf(samples_); }

 private:
  void DropOld();

  double keepSeconds_;
  bool resumeNext_ = false;
  setup::Samples samples_;
};

// The curves as the plot draws them, against seconds since `origin` (the
// first kept sample when none): position, position error and speed (from the positions and their
// times) in the user's unit, or in counts.
struct PlotPoint {
  double time = 0;
  double value = 0;
};
struct PlotCurves {
  std::vector<PlotPoint> position, error, speed;
  std::string positionUnit, speedUnit;  // "mm", "mm/s"; "counts", "counts/s"
};
PlotCurves CurvesOf(const Samples& samples, const AxisSettings& settings, bool inCounts,
                    std::optional<double> origin = std::nullopt);

// User units per count of the selected scale.
double UserUnitsPerCount(const AxisSettings& settings);

// The kept samples as CSV: one header line naming each column with its
// unit, then one row per sample, in both user units and counts.
std::string CsvOf(const Samples& samples, const AxisSettings& settings);

}  // namespace velkor::setup
