#include "setup/transfer/settings_download.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "setup/model/options.h"
#include "setup/transfer/motor_data_block.h"
#include "setup/transfer/settings_backup.h"
#include "setup/transfer/text_record.h"

namespace velkor::setup {
namespace {

using std::chrono::milliseconds;

constexpr double kLongMin = std::numeric_limits<std::int32_t>::min();
constexpr double kLongMax = std::numeric_limits<std::int32_t>::max();
constexpr double kWordMin = std::numeric_limits<std::int16_t>::min();
constexpr double kWordMax = std::numeric_limits<std::int16_t>::max();
// About the number of commands a download sends, for its progress.
constexpr double kCommands = 295;

// Ends the download through its failure path, saying why.
struct Broken {
  std::string why;
};

// A whole number that fits the motor field it goes to, as decimal text.
std::string Whole(const std::string& text, const std::string& name, double low, double high, const char* field) {
  const auto value = ParseNumber(text);
  if (!value) throw Broken{name + " \"" + text + "\" is not a number"};
  if (*value != std::floor(*value)) throw Broken{name + " " + text + " is not a whole number"};
  if (*value < low || *value > high)
    throw Broken{name + " " + text + " does not fit " + field + " (" + IntegerText(low) + " to " + IntegerText(high) + ")"};
  return IntegerText(*value);
}

// A user-unit value as the motor keeps it: times 10^DecPlaces, a long.
std::string Scaled(const std::string& text, int decPlaces, const std::string& name) {
  const auto value = ParseNumber(text);
  if (!value) throw Broken{name + " \"" + text + "\" is not a number"};
  const double scaled = RoundToEven(*value * std::pow(10.0, decPlaces));
  if (scaled < kLongMin || scaled > kLongMax)
    throw Broken{name + " " + text + " times 10^" + std::to_string(decPlaces) + " does not fit a long"};
  return IntegerText(scaled);
}

class Sender {
 public:
  Sender(MotorChannel& motor, Clock& clock, const DownloadRequest& request)
      : motor_(motor), clock_(clock), request_(request) {}

  void Send(const std::string& command) {
    if (request_.cancelled()) throw Broken{"cancelled"};
    if (!motor_.Write(command)) throw Broken{command + ": " + motor_.LastFailure()};
    request_.progress(std::min(1.0, ++sent_ / kCommands));
  }
  void Wait(int ms) { clock_.Sleep(milliseconds(ms)); }
  std::string Ask(const std::string& command) {
    const auto answer = motor_.Ask(command);
    if (!answer) throw Broken{command + ": " + motor_.LastFailure()};
    return *answer;
  }

 private:
  MotorChannel& motor_;
  Clock& clock_;
  const DownloadRequest& request_;
  double sent_ = 0;
};

void SendData(const AxisSettings& settings, Sender& send) {
  const int places = settings.decPlaces;
  // User-unit table.
  for (std::size_t i = 0; i < settings.functions.size(); ++i) {
    const MotionFunction& function = settings.functions[i];
    send.Send("ttt=" + Scaled(function.data, places, Indexed("Data", i)));
    send.Wait(5);
    send.Send("uuu=" + Scaled(function.vel, places, Indexed("Vel", i)));
    send.Wait(5);
    send.Send("vvv=" + Scaled(function.acc, places, Indexed("Acc", i)));
    send.Wait(5);
    send.Send("EPTR=" + std::to_string(block::kUserFunctions + block::kFunctionStride * static_cast<int>(i)));
    send.Send("VST(ttt,3)");
    send.Wait(90);
  }
  // Limits in user units.
  for (std::size_t j = 0; j < settings.limits.size(); ++j) {
    const std::string name = Indexed("LimVal", j);
    const std::string value = j < 4 ? Whole(settings.limits[j], name, kLongMin, kLongMax, "a long")
                                    : Scaled(settings.limits[j], places, name);
    send.Send("al[" + std::to_string(block::kFirstLimit + static_cast<int>(j)) + "]=" + value);
    send.Wait(20);
  }
  send.Send("EPTR=" + std::to_string(block::kUserLimits));
  send.Send("VST(iii,10)");
  send.Wait(120);
  // Motor-unit table.
  for (std::size_t i = 0; i < settings.functions.size(); ++i) {
    const MotionFunction& function = settings.functions[i];
    send.Send("ttt=" + Whole(function.motorData, Indexed("MotorData", i), kLongMin, kLongMax, "ttt (a long)"));
    send.Wait(15);
    send.Send("uuu=" + Whole(function.motorVel, Indexed("MotorVel", i), kLongMin, kLongMax, "uuu (a long)"));
    send.Wait(15);
    send.Send(std::string(block::kMotorAccWord) + "=" +
              Whole(function.motorAcc, Indexed("MotorAcc", i), kWordMin, kWordMax, "aw[94] (16 bits)"));
    send.Wait(15);
    send.Send(std::string(block::kModeByte) + "=" + std::to_string(static_cast<int>(function.mode)));
    send.Wait(15);
    send.Send(std::string(block::kNoGoByte) + "=" + (function.noGo ? "1" : "0"));
    send.Wait(15);
    send.Send("EPTR=" + std::to_string(block::kMotorFunctions + block::kFunctionStride * static_cast<int>(i)));
    send.Send("VST(ttt,3)");
    send.Wait(190);
  }
  // Scale factor.
  const std::string encCounts = Whole(settings.encCounts, "EncCounts", 1, kLongMax, "a long");
  if (*ParseNumber(encCounts) >= block::kLargeEncCountsFrom) {
    send.Send(std::string(block::kEncCountsWord) + "=" + std::to_string(block::kLargeEncCountsFlag));
    send.Send("zz=" + encCounts);
    send.Send("EPTR=" + std::to_string(block::kLargeEncCounts));
    send.Send("VST(zz,1)");
    send.Wait(20);
  } else {
    send.Send(std::string(block::kEncCountsWord) + "=" + encCounts);
    send.Wait(5);
  }
  send.Send(std::string(block::kUserCountsWord) + "=" +
            Whole(settings.userCounts, "UserCounts", kWordMin, kWordMax, "aw[53] (16 bits)"));
  send.Wait(5);
  // Gains, motor-unit limits, options.
  for (std::size_t j = 0; j < settings.gains.size(); ++j) {
    send.Send("al[" + std::to_string(block::kFirstGain + static_cast<int>(j)) + "]=" +
              Whole(settings.gains[j], Indexed("pid", j), kLongMin, kLongMax, "a long"));
    send.Wait(15);
  }
  for (std::size_t j = 0; j < 9; ++j) {
    send.Send("al[" + std::to_string(block::kFirstLimit + static_cast<int>(j)) + "]=" +
              Whole(settings.motorLimits[j], Indexed("MotorLimVal", j), kLongMin, kLongMax, "a long"));
    send.Wait(5);
  }
  const OptionBytes bytes = settings.Bytes();
  for (const auto& [field, value] : {std::pair{block::kPowerUpByte, bytes.powerUp}, {block::kFaultByte, bytes.fault},
                                     {block::kReservedByte, -1}, {block::kHomeByte, bytes.home},
                                     {block::kUnitsByte, static_cast<int>(settings.unit)}}) {
    send.Send(std::string(field) + "=" + std::to_string(value));
    send.Wait(5);
  }
  send.Send("www=" + Whole(settings.motorLimits[9], "MotorLimVal(9)", kLongMin, kLongMax, "a long"));
  send.Send("EPTR=" + std::to_string(block::kConfiguration));
  send.Send("VST(aaa,23)");
  send.Wait(800);
  send.Send("EPTR=" + std::to_string(block::kMarker));
  send.Send("a=" + std::to_string(block::kComplete) + " VST(a,1)");
  send.Wait(55);
}

}  // namespace

std::optional<Message> DownloadRefusal(const AxisSettings& settings) {
  if ((settings.Bytes().home & 2) != 0 && settings.limits[4] == "0")
    return Message{"Check Home Settings",
                   "[Home Offset Dist.] Should NOT be ZERO when [Home To HardStop] is Selected!", Icon::Exclamation};
  if (settings.encoderResText != settings.motorInfo[3])
    return Message{"Detected Encoder Resolution Does Not Match Set Resolution!", std::string(kCorrectResolution),
                   Icon::Exclamation};
  return std::nullopt;
}

std::string DownloadDateTime() { return LocalTimeText("%m/%d/%Y:%H:%M:%S"); }

DownloadOutcome SettingsDownload(const AxisSettings& settings, const DownloadRequest& request, MotorChannel& motor,
                                 Clock& clock, View& view) {
  DownloadOutcome outcome;
  const std::string on = std::to_string(motor.Address()) + " on Com" + request.port;
  view.ShowNotices("Downlaoding Data to Selected Motor", "Checking Motor for Latest Program");
  view.SetHelp("Downloading Data");
  view.SetText("MStat", "Downloading Data");
  view.SetBusy(true);
  Sender send(motor, clock, request);
  try {
    if (!motor.ClearBuffer()) throw Broken{"ClearBuffer: " + motor.LastFailure()};
    const auto expected = ExpectedProgramChecksum(request.program);
    if (!expected) throw Broken{"the motor program " + request.program.string() + " cannot be read"};
    send.Send("END OFF");
    if (send.Ask("RCKS") != *expected) {
      view.ShowNotices("Downlaoding Data to Selected Motor", "Updating Program In Motor " + on);
      view.SetText("MStat", "Downloading Motor Program");
      view.SetHelp("Downloading Motor Program");
      if (!motor.DownloadProgram(request.program)) throw Broken{"the program download: " + motor.LastFailure()};
      outcome.programLoaded = true;
      view.SetText("MStat", "Downloading Data");
      view.SetHelp("Downloading Data");
    }
    view.ShowNotices("Downlaoding Data to Selected Motor", "Downloading Data To Motor " + on);
    view.SetText("MStat", "Downloading Data");
    SendData(settings, send);
    view.SetText("MStat", "Download Complete");
    clock.Sleep(milliseconds(1000));
    // What was downloaded when; a failure here still ends as a failure.
    if (!StoreText(request.fileName, block::kLastFile, motor, clock) ||
        !StoreText(request.dateTime, block::kLastDate, motor, clock))
      throw Broken{"storing the file name and date: " + motor.LastFailure()};
    outcome.complete = true;
    request.progress(1.0);
  } catch (const Broken& broken) {
    outcome.failure = broken.why;
    view.HideNotices();
    // The motor holds no valid data now: say so in its marker.
    motor.Write("EPTR=" + std::to_string(block::kMarker));
    motor.Write("a=-1 VST(a,1)");
    clock.Sleep(milliseconds(30));
    view.SetText("MStat", "Download Failure");
  }
  view.HideNotices();
  view.SetBusy(false);
  return outcome;
}

}  // namespace velkor::setup
