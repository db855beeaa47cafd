#include "setup/live/sample_trace.h"

#include <algorithm>
#include <charconv>

#include "setup/model/units.h"

namespace velkor::setup {
namespace {

std::string Number(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 9).ptr;
  return std::string(text, end);
}

// Counts per second between a sample and the one before it; nothing across
// a pause or where the clock did not move.
bool SpeedAt(const Samples& samples, std::size_t i, double& speed) {
  if (i == 0 || samples[i].resumed) return false;
  const double interval = samples[i].time - samples[i - 1].time;
  if (interval <= 0) return false;
  speed = (samples[i].position - samples[i - 1].position) / interval;
  return true;
}

}  // namespace

TimingFigures TimingOf(const Samples& samples) {
  TimingFigures figures;
  figures.count = samples.size();
  double polled = 0;  // the time the poll ran: pauses left out
  std::size_t intervals = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i].resumed) continue;
    const double gap = samples[i].time - samples[i - 1].time;
    polled += gap;
    ++intervals;
    figures.largestGap = std::max(figures.largestGap, gap);
  }
  if (polled > 0) figures.achievedRate = static_cast<double>(intervals) / polled;
  return figures;
}

std::string TimingText(const TimingFigures& figures) {
  return NumberText(RoundToPlaces(figures.achievedRate, 1)) + " samples/s, largest gap " +
         NumberText(RoundToPlaces(figures.largestGap * 1000, 0)) + " ms, " + std::to_string(figures.count) +
         " samples";
}

void SampleTrace::Add(const Sample& sample) {
  if (!samples_.empty() && sample.time < samples_.back().time) return;
  samples_.push_back(sample);
  samples_.back().resumed = resumeNext_ && samples_.size() > 1;
  resumeNext_ = false;
  DropOld();
}

void SampleTrace::Keep(double seconds) {
  keepSeconds_ = std::max(seconds, 0.0);
  DropOld();
}

void SampleTrace::DropOld() {
  if (samples_.empty()) return;
  const double oldest = samples_.back().time - keepSeconds_;
  while (samples_.size() > 1 && samples_.front().time < oldest) samples_.pop_front();
  samples_.front().resumed = false;
}

double UserUnitsPerCount(const AxisSettings& settings) {
  const Scale scale = settings.CurrentScale();
  return scale.encCounts == 0 ? 1 : scale.userCounts / scale.encCounts;
}

PlotCurves CurvesOf(const Samples& samples, const AxisSettings& settings, bool inCounts,
                    std::optional<double> origin) {
  PlotCurves curves;
  const double factor = inCounts ? 1 : UserUnitsPerCount(settings);
  curves.positionUnit = inCounts ? "counts" : settings.PositionCaption();
  curves.speedUnit = curves.positionUnit + "/s";
  if (samples.empty()) return curves;
  const double start = origin.value_or(samples.front().time);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double time = samples[i].time - start;
    curves.position.push_back({time, samples[i].position * factor});
    curves.error.push_back({time, samples[i].error * factor});
    if (double speed = 0; SpeedAt(samples, i, speed)) curves.speed.push_back({time, speed * factor});
  }
  return curves;
}

std::string CsvOf(const Samples& samples, const AxisSettings& settings) {
  const std::string unit = settings.PositionCaption();
  std::string csv = "time (s),position (" + unit + "),position error (" + unit + "),speed (" + unit +
                    "/s),position (counts),position error (counts),speed (counts/s)\n";
  if (samples.empty()) return csv;
  const double factor = UserUnitsPerCount(settings);
  const double start = samples.front().time;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const Sample& sample = samples[i];
    double speed = 0;
    const bool hasSpeed = SpeedAt(samples, i, speed);
    csv += Number(sample.time - start) + "," + Number(sample.position * factor) + "," +
           Number(sample.error * factor) + "," + (hasSpeed ? Number(speed * factor) : "") + "," +
           Number(sample.position) + "," + Number(sample.error) + "," + (hasSpeed ? Number(speed) : "") + "\n";
  }
  return csv;
}

}  // namespace velkor::setup
