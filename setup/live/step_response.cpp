#include "setup/live/step_response.h"

#include <cmath>

#include "setup/model/units.h"

namespace velkor::setup {
namespace {

double Number(std::string_view text) { return ParseNumber(text).value_or(0); }

// When the curve first reaches `level` of the step, between the samples
// around the crossing.
std::optional<double> Crossing(const Samples& samples, double start, double step, double level) {
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double progress = (samples[i].position - start) / step;
    if (progress < level) continue;
    if (i == 0) return samples[0].time;
    const double before = (samples[i - 1].position - start) / step;
    const double share = progress == before ? 1 : (level - before) / (progress - before);
    return samples[i - 1].time + share * (samples[i].time - samples[i - 1].time);
  }
  return std::nullopt;
}

// Where the move ends, as the Go button's sequence clips it to the travel
// limits.
double TargetOf(const MotionFunction& function, const AxisSettings& settings, double start,
                const std::string& positionText) {
  const double upper = Number(settings.limits[7]);
  const double lower = Number(settings.limits[8]);
  const bool limited = !(upper == 0 && lower == 0);
  const double userTarget = Number(function.data) + (function.mode == Mode::Relative ? Number(positionText) : 0);
  if (limited && userTarget > upper) return Number(settings.motorLimits[7]);
  if (limited && userTarget <= lower) return Number(settings.motorLimits[8]);
  return Number(function.motorData) + (function.mode == Mode::Relative ? start : 0);
}

std::string Fixed(double value, int places) {
  return NumberText(RoundToPlaces(value, places));
}

}  // namespace

StepFigures StepFiguresOf(const Samples& samples, double moveStart, double start, double target,
                          double band) {
  StepFigures figures;
  figures.sampleRate = TimingOf(samples).achievedRate;
  const double step = target - start;
  if (samples.empty() || step == 0) return figures;
  const auto low = Crossing(samples, start, step, 0.1);
  const auto high = Crossing(samples, start, step, 0.9);
  if (low && high) figures.riseTime = *high - *low;
  double furthest = 0;
  for (const Sample& sample : samples) furthest = std::max(furthest, (sample.position - start) / step - 1);
  figures.overshoot = furthest * 100;
  // Settled from the sample after the last one outside the band, if any
  // sample follows it.
  const double tolerance = std::abs(step) * band;
  std::size_t settledFrom = 0;
  for (std::size_t i = 0; i < samples.size(); ++i)
    if (std::abs(samples[i].position - target) > tolerance) settledFrom = i + 1;
  if (settledFrom < samples.size()) figures.settlingTime = std::max(0.0, samples[settledFrom].time - moveStart);
  figures.finalError = target - samples.back().position;
  return figures;
}

StepRecord RecordStep(const StepRequest& request, AxisSettings& settings, TestMoves& moves, LiveState& state,
                      MotorChannel& channel, View& view, const TimeSource& now) {
  StepRecord record;
  const MotionFunction& function = settings.functions.at(static_cast<std::size_t>(request.function));
  if (function.mode != Mode::Absolute && function.mode != Mode::Relative) {
    record.refusal = "Function " + std::to_string(request.function) +
                     " is no absolute or relative move, so it has no step to measure.";
    return record;
  }
  channel.SetDefaultMotor(state.selectedAddress);
  channel.ClearBuffer();
  const double asked = now();
  const auto reply = channel.HostAsk(" RP");
  const auto position = reply ? ReplyNumber(*reply) : std::nullopt;
  if (!position) {
    record.refusal = "The motor did not tell its position: " + channel.LastFailure();
    return record;
  }
  record.start = *position;
  record.samples.push_back({(asked + now()) / 2, *position, state.posErr});
  state.pos = *position;
  state.positionText = PositionText(*position, settings);

  record.moveStart = now();
  moves.GoPressed(request.function, settings);
  if (state.heldFunction != request.function) {
    record.refusal = "";  // the Go button's own message said why
    return record;
  }
  record.target = TargetOf(function, settings, record.start, state.positionText);
  const auto stop = [&] { return now() - record.moveStart >= request.seconds; };
  PlotBurst(state, settings, channel, view, now, stop, [&](std::vector<Sample> taken) {
    record.samples.insert(record.samples.end(), taken.begin(), taken.end());
  });
  moves.GoReleased(request.function, settings);
  return record;
}

std::vector<std::string> StepFiguresText(const StepFigures& figures, const StepRequest& request,
                                         const AxisSettings& settings) {
  const std::string unit = settings.PositionCaption();
  const double perCount = UserUnitsPerCount(settings);
  const auto seconds = [](const std::optional<double>& value, const char* never) {
    return value ? Fixed(*value * 1000, 1) + " ms" : std::string(never);
  };
  return {
      "Rise time (10-90 %): " + seconds(figures.riseTime, "not reached"),
      "Overshoot: " + Fixed(figures.overshoot, 2) + " %",
      "Settling time (" + Fixed(request.band * 100, 2) + " % band): " + seconds(figures.settlingTime, "not settled"),
      "Final position error: " + NumberText(RoundToPlaces(figures.finalError * perCount, settings.decPlaces + 2)) +
          " " + unit + " (" + Fixed(figures.finalError, 0) + " counts)",
      "Sample rate: " + Fixed(figures.sampleRate, 1) + " samples/s",
  };
}

}  // namespace velkor::setup
