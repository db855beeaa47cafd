#include "setup/model/editor.h"

#include "setup/model/help_texts.h"

namespace velkor::setup {
namespace {

constexpr int kFunctions = 16;
constexpr int kLimits = 10;
constexpr int kGains = 7;

std::size_t At(int index) { return static_cast<std::size_t>(index); }

// Every field whose text the input rules guard.
template <class Visit>
void ForEachField(Visit&& visit) {
  for (int i = 0; i < kFunctions; ++i)
    for (FieldGroup group : {FieldGroup::Data, FieldGroup::Vel, FieldGroup::Acc}) visit(FieldId{group, i});
  for (int j = 0; j < kLimits; ++j) visit(FieldId{FieldGroup::LimVal, j});
  for (int j = 0; j < kGains; ++j) visit(FieldId{FieldGroup::Pid, j});
  visit(FieldId{FieldGroup::Scale, 0});
  visit(FieldId{FieldGroup::Scale, 1});
  visit(FieldId{FieldGroup::EncoderRes, 0});
}

// The unit caption beside a limit field, or nothing for counts and percent.
std::optional<std::string> LimitCaption(const AxisSettings& settings, int limit) {
  switch (kLimitFields.at(At(limit)).conversion) {
    case LimitConversion::Position: return settings.PositionCaption();
    case LimitConversion::Velocity: return settings.VelocityCaption();
    case LimitConversion::Acceleration: return settings.AccelerationCaption();
    default: return std::nullopt;
  }
}

}  // namespace

void SettingsEditor::StartUp() {
  settings_ = AxisSettings();
  screen_ = ScreenState();
  fileName_.clear();
  markShown_ = false;
  encoderResForced_ = false;
  homePicture_ = 1;
  view_.SetTitle(kBaseTitle);
  view_.BringToFront("Presets");
  view_.SetVisible("HomeSettings", false);
  view_.SetText("Command5", screen_.Command5Caption());
  view_.SetText("Command7", screen_.Command7Caption());
  view_.SetPicture("HomePic", homePicture_);
  SetMotorReady(false);
  Show(nullptr);
  RememberAll();
}

std::string SettingsEditor::Title() const {
  if (fileName_.empty()) return std::string(kBaseTitle);
  return std::string(kBaseTitle) + fileName_ + (markShown_ ? std::string(kChangesMark) : "");
}

void SettingsEditor::MarkChanged() {
  settings_.changesMade = true;
  if (!fileName_.empty() && !markShown_) {
    markShown_ = true;
    view_.SetTitle(Title());
  }
}

void SettingsEditor::RememberAll() {
  savedTexts_.clear();
  ForEachField([&](FieldId field) { savedTexts_[ControlOf(field)] = TextOf(settings_, field); });
}

void SettingsEditor::Restore(FieldId field) {
  const std::string control = ControlOf(field);
  TextOf(settings_, field) = savedTexts_[control];
  view_.SetText(control, savedTexts_[control]);
  view_.Focus(control);
}

bool SettingsEditor::GotFocus(FieldId field) {
  if (field.group != FieldGroup::EncoderRes) {
    if (IsBlank(settings_.encoderResText)) {
      view_.ShowMessage({std::string(kNeedEncoderResTitle), std::string(kNeedEncoderRes), Icon::Exclamation});
      view_.SetWarning("ERes", true);
      view_.Focus("ERes");
      encoderResForced_ = true;
      return false;
    }
    encoderResForced_ = false;
  }
  const std::string control = ControlOf(field);
  savedTexts_[control] = TextOf(settings_, field);
  view_.Focus(control);
  return true;
}

void SettingsEditor::TextChanged(FieldId field, std::string_view text) {
  if (auto refusal = RefuseWhileTyping(field, text)) {
    view_.ShowMessage(*refusal);
    Restore(field);
    return;
  }
  TextOf(settings_, field) = std::string(text);
  MarkChanged();
}

bool SettingsEditor::Accept(FieldId field, Key) {
  Acceptance result = setup::Accept(settings_, field, TextOf(settings_, field));
  if (!result.settings) {
    view_.ShowMessage(*result.rejection);
    Restore(field);
    return false;
  }
  const AxisSettings before = settings_;
  settings_ = std::move(*result.settings);
  savedTexts_[ControlOf(field)] = TextOf(settings_, field);
  if (field.group == FieldGroup::EncoderRes) view_.SetWarning("ERes", false);
  Show(&before);
  if (!(settings_ == before)) MarkChanged();
  return true;
}

FieldId SettingsEditor::KeyDown(FieldId field, Key key) {
  if (!Accept(field, key)) return field;
  if (key == Key::LostFocus) return field;
  const FieldId next = NextField(settings_, field, key);
  if (!(next == field)) view_.Focus(ControlOf(next));
  return next;
}

bool SettingsEditor::SelectMode(int function, Mode mode) {
  AxisSettings candidate = settings_;
  MotionFunction& changed = candidate.functions.at(At(function));
  changed.mode = mode;
  if (LayoutOf(mode).zeroesData) changed.data = "0";
  // The motor value follows the mode at once, so that it never holds a
  // value of another mode (a position sent as a torque).
  candidate.ConvertValue(function, AxisSettings::Value::Data);
  if (auto problem = FunctionOutOfRange(candidate, function)) {
    view_.ShowMessage(*problem);
    view_.SetIndex(Indexed("Motion", function), static_cast<int>(settings_.functions.at(At(function)).mode));
    return false;
  }
  const AxisSettings before = settings_;
  settings_ = std::move(candidate);
  savedTexts_[Indexed("PrePos", function)] = settings_.functions.at(At(function)).data;
  Show(&before);
  MarkChanged();
  return true;
}

bool SettingsEditor::SelectUnit(Unit unit) {
  AxisSettings candidate = settings_;
  candidate.unit = unit;
  candidate.RecomputeAll();
  if (auto problem = OutOfRange(candidate)) {
    view_.ShowMessage(*problem);
    view_.SetIndex("units", static_cast<int>(settings_.unit));
    return false;
  }
  const AxisSettings before = settings_;
  settings_ = std::move(candidate);
  Show(&before);
  MarkChanged();
  return true;
}

void SettingsEditor::SetNoGo(int function, bool checked) {
  settings_.functions.at(At(function)).noGo = checked;
  view_.SetChecked(Indexed("NoGo", function), checked);
  MarkChanged();
}

void SettingsEditor::ChangeOptions(OptionControls options) {
  // Homing at the present position moves nowhere: no index, no direction.
  if (options.homeMethod == 0) options.backOffToIndex = options.towardsPositive = false;
  settings_.options = options;
  ApplyOptions();
  MarkChanged();
}

void SettingsEditor::ChoosePowerUp(int button) {
  OptionControls options = settings_.options;
  options.powerUp = button;
  ChangeOptions(options);
}

void SettingsEditor::CheckInvert(bool checked) {
  OptionControls options = settings_.options;
  options.invertCommutation = checked;
  ChangeOptions(options);
}

void SettingsEditor::ChooseFaultAction(int button) {
  OptionControls options = settings_.options;
  options.fullResetOnFault = button == 1;
  ChangeOptions(options);
}

void SettingsEditor::ChooseHomeMethod(int button) {
  OptionControls options = settings_.options;
  options.homeMethod = button;
  ChangeOptions(options);
}

void SettingsEditor::CheckHome(int box, bool checked) {
  OptionControls options = settings_.options;
  (box == 3 ? options.backOffToIndex : options.towardsPositive) = checked;
  ChangeOptions(options);
}

void SettingsEditor::SetGains(const std::array<std::string, 7>& gains) {
  const AxisSettings before = settings_;
  settings_.gains = gains;
  Show(&before);
  MarkChanged();
}

void SettingsEditor::Replace(AxisSettings settings) {
  // Neither a file nor the data block holds these: they stay.
  settings.encoderRes = settings_.encoderRes;
  settings.encoderResText = settings_.encoderResText;
  ShowModel(std::move(settings));
}

void SettingsEditor::ShowModel(AxisSettings settings) {
  settings.motorInfo = settings_.motorInfo;
  const AxisSettings before = settings_;
  settings_ = std::move(settings);
  Show(&before);
  RememberAll();
}

void SettingsEditor::Uploaded(AxisSettings settings) {
  Replace(std::move(settings));
  MarkChanged();
}

void SettingsEditor::SetOptionBytes(const OptionBytes& bytes) {
  settings_.options = ControlsFrom(bytes);
  ApplyOptions();
  MarkChanged();
}

void SettingsEditor::SwitchScreen() {
  screen_.advancedInFront = !screen_.advancedInFront;
  view_.BringToFront(screen_.advancedInFront ? "ExtOpt" : "Presets");
  view_.SetText("Command5", screen_.Command5Caption());
}

void SettingsEditor::SwitchHomePanel() {
  screen_.homePanelShown = !screen_.homePanelShown;
  view_.SetVisible("HomeSettings", screen_.homePanelShown);
  if (screen_.homePanelShown) {
    view_.BringToFront("HomeSettings");
    view_.BringToFront("Command7");
  }
  view_.SetText("Command7", screen_.Command7Caption());
}

void SettingsEditor::SetMotorReady(bool ready) {
  screen_.motorReady = ready;
  for (std::string_view control : {"DataUpload", "DataDownload", "DetR"}) {
    view_.SetVisible(control, ready);
    view_.SetEnabled(control, ready);
  }
  for (std::string_view control : {"TermFrame", "JogFrame", "DLtune", "NewBaud"}) view_.SetEnabled(control, ready);
  for (int k = 0; k <= 5; ++k) view_.SetEnabled(Indexed("SendCmd", k), ready);
  for (int i = 0; i < kFunctions; ++i) {
    view_.SetEnabled(Indexed("Record", i), ready && LayoutOf(settings_.functions.at(At(i)).mode).recordEnabled);
    view_.SetEnabled(Indexed("Gothere", i), ready);
  }
}

void SettingsEditor::MotorSelected(const std::array<std::string, 8>& information,
                                   std::optional<std::string> encoderRes) {
  settings_.motorInfo = information;
  for (int k = 0; k < 8; ++k) view_.SetText(Indexed("MInfo", k), information.at(At(k)));
  if (!encoderRes) return;
  const FieldId field{FieldGroup::EncoderRes, 0};
  TextOf(settings_, field) = *encoderRes;
  view_.SetText(ControlOf(field), *encoderRes);
  Accept(field);
}

void SettingsEditor::ShowHelp(std::string_view control, int index) {
  view_.SetHelp(HelpText(control, index, {settings_, screen_}));
}

void SettingsEditor::Opened(AxisSettings settings, std::string fileName) {
  // The decimals follow the file's scale, so that the next entry is rounded
  // for this axis and not for the one shown before.
  settings.decPlaces = DecPlacesFor(settings.CurrentScale());
  Replace(std::move(settings));
  // The fields were filled through their change handlers: changed, but the
  // title shows the file as opened.
  settings_.changesMade = true;
  fileName_ = std::move(fileName);
  markShown_ = false;
  view_.SetTitle(Title());
}

void SettingsEditor::Saved(std::string fileName) {
  settings_.changesMade = false;
  fileName_ = std::move(fileName);
  markShown_ = false;
  view_.SetTitle(Title());
}

void SettingsEditor::Revert(AxisSettings settings, bool clean) {
  ShowModel(std::move(settings));
  settings_.changesMade = !clean;
  markShown_ = !clean && !fileName_.empty();
  view_.SetTitle(Title());
}

void SettingsEditor::ApplyLayout(int function) {
  const MotionFunction& row = settings_.functions.at(At(function));
  const ModeLayout& layout = LayoutOf(row.mode);
  view_.SetEnabled(Indexed("PrePos", function), layout.dataEnabled);
  view_.SetText(Indexed("UnitPos", function), PositionCaptionOf(settings_, function));
  view_.SetEnabled(Indexed("UnitPos", function), layout.positionCaptionEnabled);
  view_.SetEnabled(Indexed("Record", function), screen_.motorReady && layout.recordEnabled);
  view_.SetEnabled(Indexed("PreVel", function), layout.velocityEnabled);
  view_.SetVisible(Indexed("PreVel", function), layout.velocityVisible);
  view_.SetText(Indexed("UnitVel", function), VelocityCaptionOf(settings_, function));
  view_.SetEnabled(Indexed("UnitVel", function), layout.velocityCaptionEnabled);
  view_.SetVisible(Indexed("PreAcc", function), layout.accelerationVisible);
  view_.SetText(Indexed("UnitAcc", function), settings_.AccelerationCaption());
  view_.SetVisible(Indexed("UnitAcc", function), layout.accelerationVisible);
  view_.SetVisible(Indexed("NoGo", function), layout.noGoVisible);
}

void SettingsEditor::ApplyOptions() {
  const OptionControls& options = settings_.options;
  for (int k = 0; k < 3; ++k) {
    view_.SetChecked(Indexed("HomeOption", k), options.powerUp == k);
    view_.SetChecked(Indexed("HomehsLim", k), options.homeMethod == k);
  }
  view_.SetChecked("Invert", options.invertCommutation);
  view_.SetChecked(Indexed("FaultAction", 0), !options.fullResetOnFault);
  view_.SetChecked(Indexed("FaultAction", 1), options.fullResetOnFault);
  view_.SetChecked(Indexed("HomeChecked", 3), options.backOffToIndex);
  view_.SetChecked(Indexed("HomeChecked", 4), options.towardsPositive);
  for (int box : {3, 4}) view_.SetEnabled(Indexed("HomeChecked", box), HomeCheckedEnabled(options));
  view_.SetText(Indexed("HomehsLim", 2), LimitSwitchCaption(options));
  const OptionBytes bytes = settings_.Bytes();
  view_.SetText("FenwaMV.PwrUpOps", std::to_string(bytes.powerUp));
  view_.SetText("FenwaMV.FaultOps", std::to_string(bytes.fault));
  view_.SetText("FenwaMV.HomeOps", std::to_string(bytes.home));
  if (const auto picture = HomePicture(bytes.home)) homePicture_ = *picture;
  view_.SetPicture("HomePic", homePicture_);
}

void SettingsEditor::Show(const AxisSettings* before) {
  auto text = [&](const std::string& control, const std::string& now, const std::string* was) {
    if (!was || *was != now) view_.SetText(control, now);
  };
  const bool relabel = !before || before->unit != settings_.unit;
  if (relabel) view_.SetIndex("units", static_cast<int>(settings_.unit));
  for (int i = 0; i < kFunctions; ++i) {
    const MotionFunction& now = settings_.functions.at(At(i));
    const MotionFunction* was = before ? &before->functions.at(At(i)) : nullptr;
    if (!was || was->mode != now.mode) view_.SetIndex(Indexed("Motion", i), static_cast<int>(now.mode));
    if (relabel || !was || was->mode != now.mode) ApplyLayout(i);
    text(Indexed("PrePos", i), now.data, was ? &was->data : nullptr);
    text(Indexed("PreVel", i), now.vel, was ? &was->vel : nullptr);
    text(Indexed("PreAcc", i), now.acc, was ? &was->acc : nullptr);
    text(Indexed("FenwaMV.mpos", i), now.motorData, was ? &was->motorData : nullptr);
    text(Indexed("FenwaMV.mvel", i), now.motorVel, was ? &was->motorVel : nullptr);
    text(Indexed("FenwaMV.macc", i), now.motorAcc, was ? &was->motorAcc : nullptr);
    if (!was || was->noGo != now.noGo) view_.SetChecked(Indexed("NoGo", i), now.noGo);
  }
  for (int j = 0; j < kLimits; ++j) {
    text(Indexed("LimVals", j), settings_.limits.at(At(j)), before ? &before->limits.at(At(j)) : nullptr);
    text(Indexed("FenwaMV.LimVals", j), settings_.motorLimits.at(At(j)),
         before ? &before->motorLimits.at(At(j)) : nullptr);
    if (relabel)
      if (const auto caption = LimitCaption(settings_, j)) view_.SetText(Indexed("LimUnit", j), *caption);
  }
  for (int j = 0; j < kGains; ++j)
    text(Indexed("pid", j), settings_.gains.at(At(j)), before ? &before->gains.at(At(j)) : nullptr);
  text("sf(0)", settings_.encCounts, before ? &before->encCounts : nullptr);
  text("sf(1)", settings_.userCounts, before ? &before->userCounts : nullptr);
  text("ERes", settings_.encoderResText, before ? &before->encoderResText : nullptr);
  if (!before || before->decPlaces != settings_.decPlaces) view_.SetText("ROV", std::to_string(settings_.decPlaces));
  if (!before || !(before->options == settings_.options)) ApplyOptions();
}

}  // namespace velkor::setup
