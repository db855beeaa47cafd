#pragma once
// The download: the motor program brought up to date, every setting written
// into the motor's variables and stored in its EEPROM where the program
// finds it, and the marker that says the data is whole.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "setup/model/axis_settings.h"
#include "setup/model/view.h"
#include "setup/transfer/motor_channel.h"

namespace velkor::setup {

// The checks before anything is sent: a hard-stop home without an offset,
// a resolution that differs from the one the motor reported.
std::optional<Message> DownloadRefusal(const AxisSettings& settings);
// The text of the resolution refusal, after which the focus goes to ERes.
inline constexpr std::string_view kCorrectResolution = "Please Correct Encoder Resolution!";
// The date and time a download stores beside the file name ("12/07/2026:10:30:00").
std::string DownloadDateTime();

struct DownloadRequest {
  std::filesystem::path program;  // the motor program (Fenwa.vqx)
  std::string port;               // as the texts name it: "on Com" + port
  std::string fileName;           // the axis data file saved before, stored at 25000
  std::string dateTime;           // stored at 26000
  // Asked between commands; true ends the download through its failure path.
  std::function<bool()> cancelled = [] { return false; };
  // The share of the commands sent so far, 0 to 1.
  std::function<void(double)> progress = [](double) {};
};

struct DownloadOutcome {
  bool complete = false;
  bool programLoaded = false;  // the program was out of date and went in
  // Why it ended through the failure path: an engine failure, a value that
  // does not fit its motor field, a cancel.
  std::string failure;
};

// Steps 5 to 20: the caller has made the checks and saved the file. The
// status line, help line and notices window are told through `view`.
DownloadOutcome SettingsDownload(const AxisSettings& settings, const DownloadRequest& request, MotorChannel& motor,
                                 Clock& clock, View& view);

}  // namespace velkor::setup
