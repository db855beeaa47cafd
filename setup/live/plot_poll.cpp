#include "setup/live/plot_poll.h"

#include <chrono>

#include "setup/model/units.h"

namespace velkor::setup {
namespace {

std::optional<double> Reading(MotorChannel& channel, std::string_view question) {
  const auto reply = channel.HostAsk(question);
  return reply ? ReplyNumber(*reply) : std::nullopt;
}

}  // namespace

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void PlotBurst(LiveState& state, const AxisSettings& settings, MotorChannel& channel, View& view,
               const TimeSource& now, const std::function<bool()>& stop, const SampleSink& deliver) {
  if (!state.pollingOn) return;
  channel.SetDefaultMotor(state.selectedAddress);
  channel.ClearBuffer();
  std::vector<Sample> taken;
  double nextTick = now() + kPlotTickSeconds;
  while (!stop()) {
    const double asked = now();
    const auto position = Reading(channel, " RP");
    // The motor read its position between the question and the answer.
    const double answered = now();
    if (position) {
      if (const auto error = Reading(channel, " RPE")) state.posErr = *error;
      state.pos = *position;
      taken.push_back({(asked + answered) / 2, state.pos, state.posErr});
    }
    if (answered < nextTick) continue;
    // On a steady beat, so that the clock feed keeps its pace.
    nextTick += kPlotTickSeconds;
    if (nextTick <= answered) nextTick = answered + kPlotTickSeconds;
    if (state.clockFeedOn && ++state.clockFeedCount > 10) channel.Write("CLK=0");
    state.positionText = PositionText(state.pos, settings);
    view.SetText("Position", state.positionText);
    view.SetText("PosError", NumberText(state.posErr));
    deliver(std::move(taken));
    taken.clear();
  }
  if (!taken.empty()) deliver(std::move(taken));
}

}  // namespace velkor::setup
