#include "setup/live/status_monitor.h"

#include <cmath>

#include "setup/model/units.h"

namespace velkor::setup {
namespace {

// The inputs A .. G as the older firmware names them.
constexpr std::array<std::string_view, 7> kInputNames = {"UAI", "UBI", "UCI", "UDI", "UEI", "UFI", "UGI"};

bool Says(const std::optional<std::string>& reply, std::string_view expected) {
  if (!reply) return false;
  std::string_view text = *reply;
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text == expected;
}

// The counts a rotary unit divides by: the resolution the motor reported.
std::optional<double> ReportedResolution(const AxisSettings& settings) {
  const auto resolution = ParseNumber(settings.motorInfo[3]);
  if (!resolution || *resolution == 0) return std::nullopt;
  return resolution;
}

std::optional<std::string> RateText(double value, double unitFactor, const AxisSettings& settings) {
  const Scale scale = settings.CurrentScale();
  double user = 0;
  switch (scale.unit) {
    case Unit::Degree:
    case Unit::Revolution: {
      const auto resolution = ReportedResolution(settings);
      if (!resolution) return std::nullopt;
      user = value * unitFactor / *resolution;
      if (scale.unit == Unit::Degree) user *= 360;
      break;
    }
    default:
      user = value * unitFactor * scale.userCounts / scale.encCounts;
  }
  return NumberText(RoundToPlaces(user, settings.decPlaces));
}

// Asks and keeps the number answered; a failed or unreadable answer keeps
// the reading as it was.
void Read(MotorChannel& channel, std::string_view command, double& reading) {
  if (const auto reply = channel.HostAsk(command))
    if (const auto value = ReplyNumber(*reply)) reading = *value;
}

void Readout(LiveState& state, const AxisSettings& settings, MotorChannel& channel, View& view) {
  channel.ClearBuffer();
  Read(channel, " RP", state.pos);
  if (state.clockFeedOn && ++state.clockFeedCount > 10) channel.Write("CLK=0");
  Read(channel, " RPE", state.posErr);
  if (state.tickCount == 5) {
    Read(channel, " RV", state.vel);
    Read(channel, " RA", state.acc);
  }
  state.positionText = PositionText(state.pos, settings);
  view.SetText("Position", state.positionText);
  view.SetText("PosError", NumberText(state.posErr));
  if (const auto speed = SpeedText(state.vel, settings)) view.SetText("Speed", *speed);
  if (const auto accel = AccelText(state.acc, settings)) view.SetText("Accel", *accel);
  channel.ClearBuffer();
}

void ModeAndState(MotorChannel& channel, View& view) {
  if (const auto mode = channel.HostAsk(" RMODE")) {
    const ModeLabels labels = DecodeMode(*mode, [&](std::string_view command) { return channel.HostAsk(command); });
    if (labels.opMode) view.SetText("OpMode", *labels.opMode);
    if (labels.mStat) view.SetText("MStat", *labels.mStat);
  }
  if (const auto alarm = channel.HostAsk(" RBa")) view.SetVisible(kAlarmIndicator, Says(alarm, "1"));
}

void Inputs(LiveState& state, const AxisSettings& settings, MotorChannel& channel, View& view) {
  InputReading inputs;
  if (settings.motorInfo[5] == "1") {
    const auto reply = channel.HostAsk(" RU");
    const auto word = reply ? ReplyNumber(*reply) : std::nullopt;
    if (!word) return;
    inputs = InputsFromWord(static_cast<int>(*word));
  } else {
    channel.ClearBuffer();
    std::array<int, 7> levels{};
    for (std::size_t i = 0; i < levels.size(); ++i) {
      const auto reply = channel.HostAsk(" a=" + std::string(kInputNames[i]) + "  Ra");
      const auto level = reply ? ReplyNumber(*reply) : std::nullopt;
      // An input that did not answer keeps its light.
      levels[i] = level ? static_cast<int>(*level) : state.inputFill[i];
    }
    inputs = InputsFromLevels(levels);
  }
  state.inputFill = inputs.fill;
  ShowInputs(inputs, view, state.heldFunction);
}

}  // namespace

std::optional<double> ReplyNumber(std::string_view reply) {
  while (!reply.empty() && (reply.back() == '\r' || reply.back() == '\n')) reply.remove_suffix(1);
  return ParseNumber(reply);
}

std::string PositionText(double pos, const AxisSettings& settings) {
  const Scale scale = settings.CurrentScale();
  return NumberText(pos * scale.userCounts / scale.encCounts);
}

std::optional<std::string> SpeedText(double vel, const AxisSettings& settings) {
  return RateText(vel, kVelUnitFactor, settings);
}

std::optional<std::string> AccelText(double acc, const AxisSettings& settings) {
  return RateText(acc, kAccUnitFactor, settings);
}

ModeLabels DecodeMode(std::string_view reply, const Ask& ask) {
  while (!reply.empty() && (reply.back() == '\r' || reply.back() == '\n' || reply.back() == ' ')) reply.remove_suffix(1);
  while (!reply.empty() && reply.front() == ' ') reply.remove_prefix(1);
  const auto moving = [&] { return Says(ask(" RBt"), "1"); };
  if (reply.size() != 1) return {};
  switch (reply[0]) {
    case 'P':
    case 'R':
      return {reply[0] == 'P' ? "Absolute" : "Relative", moving() ? "Moving" : "Holding Position"};
    case 'F':
      return {"Follow", moving() ? std::optional<std::string>("Moving") : std::nullopt};
    case 'O':
      return {"Off", "Drive Off"};
    case 'E':
      if (Says(ask(" RBe"), "1")) return {"Error", "Pos. Error"};
      if (Says(ask(" RBh"), "1")) return {"Error", "Over Temp"};
      return {"Error", std::nullopt};
    case 'S':
      return {"Step", "Step Mode"};
    case 'T': {
      const auto torque = ask(" RT");
      std::string text = torque.value_or("");
      while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
      return {"Torque", "Torque Mode, T=" + text};
    }
    case 'V':
      return {"Velocity", "Velocity Mode"};
    case 'B':
      return {"MTB", "Torque Break Mode"};
    default:
      return {};
  }
}

InputReading InputsFromWord(int u) {
  InputReading inputs;
  inputs.selector = 15 - (u & 15);
  for (int i = 0; i < 7; ++i) inputs.fill[i] = ((127 - u) >> i & 1) ? kFilled : kHollow;
  return inputs;
}

InputReading InputsFromLevels(const std::array<int, 7>& levels) {
  InputReading inputs;
  for (int i = 0; i < 7; ++i) {
    inputs.fill[i] = levels[i];
    if (i < 4 && levels[i] != kHollow) inputs.selector += 1 << i;
  }
  return inputs;
}

void ShowInputs(const InputReading& inputs, View& view, std::optional<int> held) {
  view.SetText("bcdi", std::to_string(inputs.selector));
  for (int i = 0; i < 7; ++i) view.SetChecked(Indexed(kInputIndicator, i + 1), inputs.fill[i] == kFilled);
  const bool goHollow = inputs.fill[6] == kHollow;
  for (int k = 0; k < 16; ++k) {
    if (k == held) continue;
    const bool selected = k == inputs.selector;
    view.SetColour(Indexed("PosIndex", k), selected ? std::optional<unsigned>(kYellow) : std::nullopt);
    const auto fields = selected && goHollow ? std::optional<unsigned>(kLightGreen) : std::nullopt;
    for (const char* field : {"Motion", "PrePos", "PreVel", "PreAcc"}) view.SetColour(Indexed(field, k), fields);
  }
}

void StatusTick(LiveState& state, const AxisSettings& settings, MotorChannel& channel, View& view) {
  if (state.noticeCount >= 10) {
    view.ShowNotices(kRunNoticeCaption, kRunNoticeLine);
    if (++state.noticeCount > 40) {
      view.SetVisible("SendCmd(6)", true);
      state.noticeCount = -1;
      view.HideNotices();
    }
  }
  if (state.tickCount > 5) state.tickCount = 0;
  ++state.tickCount;
  if (!state.pollingOn) return;
  channel.SetDefaultMotor(state.selectedAddress);
  Readout(state, settings, channel, view);
  if (state.tickCount == 5) {
    ModeAndState(channel, view);
    Inputs(state, settings, channel, view);
  }
}

}  // namespace velkor::setup
