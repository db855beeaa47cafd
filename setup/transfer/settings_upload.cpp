#include "setup/transfer/settings_upload.h"

#include <cmath>

#include "setup/transfer/motor_data_block.h"

namespace velkor::setup {
namespace {

using std::chrono::milliseconds;

// The questions an upload asks (without the second one for a large
// EncCounts), for its progress.
constexpr double kQuestions = 1 + 16 * 5 + 16 * 3 + 10 + 9 + 2 + 7 + 6;

struct Broken {
  std::string why;
};

class Reader {
 public:
  Reader(MotorChannel& motor, Clock& clock, const UploadRequest& request)
      : motor_(motor), clock_(clock), request_(request) {}
  void Send(const std::string& command) {
    if (!motor_.Write(command)) throw Broken{command + ": " + motor_.LastFailure()};
  }
  std::string Ask(const std::string& question) {
    const auto answer = motor_.Ask(question);
    if (!answer) throw Broken{question + ": " + motor_.LastFailure()};
    request_.progress(std::min(1.0, ++asked_ / kQuestions));
    return *answer;
  }
  // An answer as a whole number; what is no number counts as 0, as the
  // motor's report of it would be read.
  int AskWhole(const std::string& question) { return static_cast<int>(std::atol(Ask(question).c_str())); }
  // A user-unit value: the motor's long over 10^DecPlaces.
  std::string AskUser(const std::string& question, int decPlaces) {
    const double value = std::atof(Ask(question).c_str()) / std::pow(10.0, decPlaces);
    return NumberText(value);
  }
  void Wait(int ms) { clock_.Sleep(milliseconds(ms)); }

 private:
  MotorChannel& motor_;
  Clock& clock_;
  const UploadRequest& request_;
  double asked_ = 0;
};

std::string Element(int index) { return "Ral[" + std::to_string(index) + "]"; }

void ReadData(AxisSettings& settings, Reader& read) {
  const int places = settings.decPlaces;  // the one in force, not read from the motor
  for (std::size_t i = 0; i < settings.functions.size(); ++i) {
    MotionFunction& function = settings.functions[i];
    read.Send("EPTR=" + std::to_string(block::kMotorFunctions + block::kFunctionStride * static_cast<int>(i)));
    read.Send("VLD(ttt,3)");
    read.Wait(225);
    const int mode = read.AskWhole(std::string("R") + block::kModeByte);
    function.mode = static_cast<Mode>(mode >= 0 && mode <= 7 ? mode : 0);
    read.Wait(5);
    function.motorData = read.Ask("Rttt");
    read.Wait(5);
    function.motorVel = read.Ask("Ruuu");
    read.Wait(5);
    function.motorAcc = read.Ask(std::string("R") + block::kMotorAccWord);
    read.Wait(5);
    function.noGo = read.AskWhole(std::string("R") + block::kNoGoByte) != 0;
    read.Wait(5);
  }
  for (std::size_t i = 0; i < settings.functions.size(); ++i) {
    MotionFunction& function = settings.functions[i];
    read.Send("EPTR=" + std::to_string(block::kUserFunctions + block::kFunctionStride * static_cast<int>(i)));
    read.Send("VLD(ttt,3)");
    read.Wait(35);
    function.data = read.AskUser("Rttt", places);
    read.Wait(15);
    function.vel = read.AskUser("Ruuu", places);
    read.Wait(15);
    function.acc = read.AskUser("Rvvv", places);
    read.Wait(15);
  }
  read.Send("EPTR=" + std::to_string(block::kUserLimits));
  read.Send("VLD(iii,10)");
  read.Wait(100);
  for (int j = 0; j < 10; ++j) {
    const std::string question = Element(block::kFirstLimit + j);
    settings.limits[static_cast<std::size_t>(j)] = j < 4 ? NumberText(std::atof(read.Ask(question).c_str()))
                                                         : read.AskUser(question, places);
    read.Wait(15);
  }
  read.Send("EPTR=" + std::to_string(block::kConfiguration));
  read.Send("VLD(aaa,23)");
  read.Wait(150);
  for (int j = 0; j < 9; ++j) {
    settings.motorLimits[static_cast<std::size_t>(j)] = read.Ask(Element(block::kFirstLimit + j));
    read.Wait(5);
  }
  settings.encCounts = read.Ask(std::string("R") + block::kEncCountsWord);
  read.Wait(5);
  if (settings.encCounts == std::to_string(block::kLargeEncCountsFlag)) {
    read.Send("EPTR=" + std::to_string(block::kLargeEncCounts));
    read.Send("VLD(zz,1)");
    read.Wait(50);
    settings.encCounts = read.Ask("Rzz");
    read.Wait(5);
  }
  settings.userCounts = read.Ask(std::string("R") + block::kUserCountsWord);
  read.Wait(5);
  for (int j = 0; j < 7; ++j) settings.gains[static_cast<std::size_t>(j)] = read.Ask(Element(block::kFirstGain + j));
  read.Wait(20);
  OptionBytes bytes;
  bytes.powerUp = read.AskWhole(std::string("R") + block::kPowerUpByte);
  read.Wait(5);
  bytes.fault = read.AskWhole(std::string("R") + block::kFaultByte);
  read.Wait(5);
  bytes.home = read.AskWhole(std::string("R") + block::kHomeByte);
  read.Wait(5);
  const int unit = read.AskWhole(std::string("R") + block::kUnitsByte);
  read.Wait(5);
  if (unit >= 0 && unit <= 4 && static_cast<Unit>(unit) != settings.unit) {
    // A changed unit relabels and recomputes, as a choice in the list does.
    settings.unit = static_cast<Unit>(unit);
    settings.RecomputeAll();
  }
  settings.motorLimits[9] = read.Ask("Rwww");
  read.Wait(20);
  settings.options = ControlsFrom(bytes);
}

}  // namespace

UploadOutcome SettingsUpload(const AxisSettings& current, const UploadRequest& request, MotorChannel& motor,
                             Clock& clock, View& view) {
  UploadOutcome outcome;
  const std::string address = std::to_string(motor.Address());
  view.SetText("MStat", "Uploading Data");
  view.ShowNotices("Scanning Motor for Data", "Checking Motor " + address + "For Data");
  view.SetBusy(true);
  Reader read(motor, clock, request);
  try {
    if (!motor.ClearBuffer()) throw Broken{"ClearBuffer: " + motor.LastFailure()};
    read.Send("END");
    read.Send("EPTR=" + std::to_string(block::kMarker));
    read.Send("VLD(a,1)");
    if (read.Ask("Ra") != std::to_string(block::kComplete)) {
      outcome.noData = Message{"Motor " + address + " on Com" + request.port + " Has No Data Stored.",
                               "No Data In Motor ", Icon::Exclamation};
      view.ShowMessage(*outcome.noData);
    } else {
      view.ShowNotices("Scanning Motor for Data", "Uploading Data from Motor " + address + " on Com" + request.port);
      AxisSettings settings = current;
      ReadData(settings, read);
      settings.changesMade = true;
      outcome.settings = std::move(settings);
      view.SetText("MStat", "Upload Complete");
      request.progress(1.0);
    }
  } catch (const Broken& broken) {
    outcome.failure = broken.why;
    view.SetText("MStat", "Upload Failure");
    view.ShowMessage({"Upload Failed", "The upload stopped and nothing was changed: " + broken.why, Icon::Exclamation});
  }
  view.HideNotices();
  view.SetBusy(false);
  return outcome;
}

}  // namespace velkor::setup
