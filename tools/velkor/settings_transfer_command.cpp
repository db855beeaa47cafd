#include "tools/velkor/settings_transfer_command.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "setup/files/axis_file.h"
#include "setup/transfer/engine_channel.h"
#include "setup/transfer/settings_backup.h"
#include "setup/transfer/settings_download.h"
#include "setup/transfer/settings_upload.h"
#include "tools/velkor/progress.h"
#include "tools/velkor/session.h"
#include "tools/velkor/settings_command.h"

namespace velkor::client {
namespace {

using namespace velkor::setup;

constexpr int kDiffer = 1;
constexpr const char* kUsage =
    "usage: velkor settings download --port P --address N FILE.adf [--program FILE.vqx]\n"
    "       velkor settings upload --port P --address N FILE.adf\n"
    "       velkor settings diff FILE.adf --port P --address N\n";

// What the window would show, as lines on the terminal: the stages of a
// transfer and its messages.
class TerminalView : public View {
 public:
  explicit TerminalView(std::FILE* err) : err_(err) {}
  void ShowMessage(const Message& message) override {
    std::fprintf(err_, "\nvelkor: %s [%s]\n", message.text.c_str(), message.title.c_str());
  }

 private:
  std::FILE* err_;
};

struct TransferOptions {
  PortOptions port;
  std::string file;
  std::optional<std::string> program;
  std::optional<std::string> backup;  // the folder for the motor's settings before a download
};

std::optional<TransferOptions> Parse(std::span<const std::string_view> arguments, std::FILE* err) {
  TransferOptions options;
  static constexpr std::string_view kOwn[] = {"--program", "--backup"};
  if (auto problem = ParsePortOptions(arguments, kOwn, options.port)) {
    std::fprintf(err, "velkor settings: %s\n", problem->c_str());
    return std::nullopt;
  }
  const auto& rest = options.port.rest;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == "--program" && i + 1 < rest.size()) {
      options.program = rest[++i];
    } else if (rest[i] == "--backup" && i + 1 < rest.size()) {
      options.backup = rest[++i];
    } else if (options.file.empty() && !rest[i].starts_with("--")) {
      options.file = rest[i];
    } else {
      std::fprintf(err, "velkor settings: unexpected '%s'\n%s", rest[i].c_str(), kUsage);
      return std::nullopt;
    }
  }
  if (options.file.empty() || (options.port.port.empty() && !options.port.net && !options.port.usb)) {
    std::fputs(kUsage, err);
    return std::nullopt;
  }
  return options;
}

// A backup is taken before a download only.
bool DownloadOnly(const TransferOptions& options, std::FILE* err) {
  if (!options.backup) return true;
  std::fprintf(err, "velkor settings: --backup goes with download only\n");
  return false;
}

// "COM3" is "3" in the texts "on Com3"; a device path stands as it is.
std::string PortText(const std::string& port) {
  if (port.size() > 3 && (port.starts_with("COM") || port.starts_with("com"))) return port.substr(3);
  return port;
}

std::filesystem::path InstalledProgram() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "Fenwa.vqx";
}

// The file's settings with the decimals its scale gives, as the window
// would have them after opening it.
std::optional<AxisSettings> OpenFile(const std::string& file, std::FILE* err) {
  auto opened = OpenSettingsFile(file, err);
  if (!opened) return std::nullopt;
  opened->settings->decPlaces = DecPlacesFor(opened->settings->CurrentScale());
  return opened->settings;
}

// Reads the motor's settings; the model in `current` gives the decimals.
int Upload(const TransferOptions& options, const AxisSettings& current, std::optional<AxisSettings>& uploaded,
           std::FILE* out, std::FILE* err) {
  Session session(out, err);
  if (const int status = session.Connect(options.port); status != kDone) return status;
  ComPtr<IVNXMotor> motor;
  if (!session.Motor(options.port, motor)) return kEngineFailure;
  EngineChannel channel(session.HostObject(), motor, options.port.address);
  SleepingClock clock;
  TerminalView view(err);
  ProgressBar bar(err, {{1, "uploading settings"}});
  bar.Note(1, 1000);
  UploadRequest request{PortText(options.port.port), [&](double share) { bar.Note(2, static_cast<VNX_LPARAM>(share * 1000)); }};
  const UploadOutcome outcome = SettingsUpload(current, request, channel, clock, view);
  bar.Finish(outcome.settings.has_value());
  if (!outcome.failure.empty()) std::fprintf(err, "velkor settings: the upload failed: %s\n", outcome.failure.c_str());
  if (!outcome.settings) return kEngineFailure;
  uploaded = outcome.settings;
  return kDone;
}

}  // namespace

int SettingsDownloadCommand(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  const auto options = Parse(arguments, err);
  if (!options) return kEngineFailure;
  auto settings = OpenFile(options->file, err);
  if (!settings) return kEngineFailure;
  const std::filesystem::path program = options->program ? std::filesystem::path(*options->program) : InstalledProgram();
  std::error_code error;
  if (!std::filesystem::is_regular_file(program, error)) {
    std::fprintf(err, "velkor settings: the motor program %s is not there (give --program FILE.vqx)\n", program.c_str());
    return kEngineFailure;
  }
  // The resolution is not in the file; the motor's own is the one that counts.
  settings->motorInfo[3] = settings->encoderResText;
  if (const auto refusal = DownloadRefusal(*settings)) {
    std::fprintf(err, "velkor settings: %s [%s]\n", refusal->text.c_str(), refusal->title.c_str());
    return kEngineFailure;
  }
  Session session(out, err);
  if (const int status = session.Connect(options->port); status != kDone) return status;
  ComPtr<IVNXMotor> motor;
  if (!session.Motor(options->port, motor)) return kEngineFailure;
  EngineChannel channel(session.HostObject(), motor, options->port.address);

  InterruptAsCancel interrupt;
  SleepingClock clock;
  if (options->backup) {
    Bstr serial;
    motor->GetSerialNumber(serial.Out());
    const BackupOutcome backup =
        BackUpMotorSettings(*settings, *options->backup, serial.Utf8(), PortText(options->port.port), channel, clock);
    if (!backup.failure.empty()) {
      std::fprintf(err, "velkor settings: nothing downloaded: %s\n", backup.failure.c_str());
      return kEngineFailure;
    }
    if (backup.file) std::fprintf(out, "the motor's settings before the download are in %s\n", backup.file->c_str());
  }
  TerminalView view(err);
  ProgressBar bar(err, {{1, "downloading settings"}});
  bar.Note(1, 1000);
  DownloadRequest request{program, PortText(options->port.port), std::filesystem::path(options->file).filename().string(),
                          DownloadDateTime()};
  request.cancelled = [] { return InterruptAsCancel::Interrupted(); };
  request.progress = [&](double share) { bar.Note(2, static_cast<VNX_LPARAM>(share * 1000)); };
  const DownloadOutcome outcome = SettingsDownload(*settings, request, channel, clock, view);
  bar.Finish(outcome.complete);
  if (!outcome.complete) {
    std::fprintf(err, "velkor settings: Download Failure: %s; the motor's data is marked invalid\n",
                 outcome.failure.c_str());
    return kEngineFailure;
  }
  std::fprintf(out, "downloaded %s to motor %ld%s\n", options->file.c_str(), static_cast<long>(options->port.address),
               outcome.programLoaded ? " (with the motor program)" : "");
  return kDone;
}

int SettingsUploadCommand(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  const auto options = Parse(arguments, err);
  if (!options || !DownloadOnly(*options, err)) return kEngineFailure;
  // The decimals of the file being replaced, if there is one.
  std::error_code error;
  std::optional<AxisSettings> current;
  if (std::filesystem::exists(options->file, error)) current = OpenFile(options->file, err);
  std::optional<AxisSettings> uploaded;
  if (const int status = Upload(*options, current.value_or(AxisSettings()), uploaded, out, err); status != kDone)
    return status;
  if (const auto problem = SaveAxisFile(*uploaded, options->file)) {
    std::fprintf(err, "velkor settings: %s\n", problem->c_str());
    return kEngineFailure;
  }
  std::fprintf(out, "uploaded motor %ld into %s\n", static_cast<long>(options->port.address), options->file.c_str());
  return kDone;
}

int SettingsMotorDiff(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  const auto options = Parse(arguments, err);
  if (!options || !DownloadOnly(*options, err)) return kEngineFailure;
  const auto file = OpenFile(options->file, err);
  if (!file) return kEngineFailure;
  std::optional<AxisSettings> uploaded;
  if (const int status = Upload(*options, *file, uploaded, out, err); status != kDone) return status;
  const auto lines = AxisFileDifferences(*file, *uploaded);
  for (const std::string& line : lines) std::fprintf(out, "%s\n", line.c_str());
  return lines.empty() ? kDone : kDiffer;
}

}  // namespace velkor::client
