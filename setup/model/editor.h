#pragma once
// The settings screen's logic: the window forwards its fields' and buttons'
// events here, and this decides, changes the model and tells the view what
// to show. A test or the command-line client drives it the same way.

#include <map>
#include <string>
#include <string_view>

#include "setup/model/axis_settings.h"
#include "setup/model/input_rules.h"
#include "setup/model/screen.h"
#include "setup/model/view.h"

namespace velkor::setup {

class SettingsEditor {
 public:
  explicit SettingsEditor(View& view) : view_(view) {}

  // The start-up state on the screen: data table in front, every function
  // Absolute at 0, the default gains, limits, scale and options, no file.
  void StartUp();

  const AxisSettings& Settings() const { return settings_; }
  const ScreenState& Screen() const { return screen_; }
  // "Fenwa v2.004 :", the file name when one is shown, and the changes mark.
  std::string Title() const;
  bool EncoderResForced() const { return encoderResForced_; }

  // Input rules. GotFocus is false when the encoder resolution is asked for
  // first (the focus has gone to ERes); Accept is false when the text was
  // rejected (told, and the saved text put back); KeyDown accepts, then
  // moves the focus, and returns the field that has it.
  bool GotFocus(FieldId field);
  void TextChanged(FieldId field, std::string_view text);
  bool Accept(FieldId field, Key key = Key::Enter);
  FieldId KeyDown(FieldId field, Key key);

  // Lists and check boxes. A mode or unit whose motor values would not fit
  // the motor is refused (told, and the list shows the old choice).
  bool SelectMode(int function, Mode mode);
  bool SelectUnit(Unit unit);
  void SetNoGo(int function, bool checked);
  void ChoosePowerUp(int button);      // HomeOption(button)
  void CheckInvert(bool checked);      // Invert
  void ChooseFaultAction(int button);  // FaultAction(button)
  void ChooseHomeMethod(int button);   // HomehsLim(button)
  void CheckHome(int box, bool checked);  // HomeChecked(3) or (4)
  // Gains filled in by the tuning buttons or the slider: shown, changed.
  void SetGains(const std::array<std::string, 7>& gains);
  // The option controls as the bytes describe them (a file, an upload).
  void SetOptionBytes(const OptionBytes& bytes);

  // Panel buttons Command5 and Command7.
  void SwitchScreen();
  void SwitchHomePanel();
  // The motor chosen in the list: its information shown in MInfo and kept
  // for the download's checks; its resolution taken into ERes when given
  // (DetR checked).
  void MotorSelected(const std::array<std::string, 8>& information, std::optional<std::string> encoderRes);
  // Controls that need a selected motor, and no transfer running.
  void SetMotorReady(bool ready);
  // The help line for the control under the mouse.
  void ShowHelp(std::string_view control, int index = -1);

  // A whole model from a file: shown, with the file name in the title. The
  // resolution and the motor information are not in the file and stay.
  void Opened(AxisSettings settings, std::string fileName);
  // A model read from the motor: shown, changed; the title keeps its file.
  void Uploaded(AxisSettings settings);
  // The model was saved: the title shows the file name without the mark.
  void Saved(std::string fileName);
  // An earlier state of the model back on the screen (undo, redo); `clean`
  // when it is the state last saved or opened, so that the title loses its
  // mark. The motor information stays, as it describes the motor.
  void Revert(AxisSettings settings, bool clean);

 private:
  void Show(const AxisSettings* before);  // what differs from `before` (all without one)
  void ApplyLayout(int function);
  void ApplyOptions();
  void ChangeOptions(OptionControls options);
  void MarkChanged();
  void RememberAll();
  void Replace(AxisSettings settings);  // a whole model from elsewhere, shown
  // Another model on the screen, the motor information kept (it describes the motor).
  void ShowModel(AxisSettings settings);
  void Restore(FieldId field);

  View& view_;
  AxisSettings settings_;
  ScreenState screen_;
  std::map<std::string, std::string> savedTexts_;  // by control: the text at got-focus or last accept
  int homePicture_ = 1;
  bool encoderResForced_ = false;
  std::string fileName_;  // shown in the title when not empty
  bool markShown_ = false;
};

}  // namespace velkor::setup
