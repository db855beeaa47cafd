#include "tools/velkor/settings_command.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "setup/files/axis_file.h"
#include "setup/model/editor.h"
#include "tools/velkor/settings_show.h"
#include "tools/velkor/settings_transfer_command.h"

namespace velkor::client {
namespace {

using namespace velkor::setup;

constexpr int kDone = 0;
constexpr int kDiffer = 1;
constexpr int kFailed = 2;

constexpr const char* kSettingsUsage =
    "usage: velkor settings new FILE.adf [--force] | show FILE.adf | set FILE.adf NAME=VALUE... | diff A.adf B.adf\n"
    "       velkor settings download|upload --port P --address N FILE.adf [--backup DIR] | diff FILE.adf --port P --address N\n";

// The window as a terminal shows it: messages only, and the last one kept,
// so that an edit can tell whether it was refused.
class TerminalView : public View {
 public:
  void ShowMessage(const Message& message) override { last = message; }
  std::optional<Message> last;
};

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

// "Data(3)" gives "data" and 3; "EncCounts" gives "enccounts" and nothing.
bool SplitName(std::string_view name, std::string& base, std::optional<int>& index) {
  const auto open = name.find('(');
  base = Lower(name.substr(0, open));
  index.reset();
  if (open == std::string_view::npos) return true;
  if (name.back() != ')') return false;
  const std::string digits(name.substr(open + 1, name.size() - open - 2));
  if (digits.empty() || digits.size() > 3 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return false;
  index = std::stoi(digits);
  return true;
}

// A list choice by its index or its name ("4" or "Torque").
template <std::size_t N>
std::optional<int> Choice(std::string_view value, const std::array<std::string_view, N>& names) {
  for (std::size_t k = 0; k < N; ++k)
    if (Lower(value) == Lower(names[k]) || value == std::to_string(k)) return static_cast<int>(k);
  return std::nullopt;
}

struct Edit {
  std::string name;
  std::string value;
};

class SettingsSession {
 public:
  SettingsSession(AxisSettings settings, const std::string& file, const std::string& reportedResolution) {
    editor_.StartUp();
    editor_.Opened(std::move(settings), file);
    const auto resolution = ParseNumber(reportedResolution);
    const std::string text = resolution && *resolution > 0 ? reportedResolution : "2000";
    editor_.TextChanged({FieldGroup::EncoderRes}, text);
    editor_.Accept({FieldGroup::EncoderRes});
  }

  const AxisSettings& Settings() const { return editor_.Settings(); }

  // Applies one edit as the window takes it from the keyboard; a refusal is
  // the window's message, a usage fault our own text.
  std::optional<std::string> Apply(const Edit& edit) {
    view_.last.reset();
    std::string base;
    std::optional<int> index;
    if (!SplitName(edit.name, base, index)) return "'" + edit.name + "' is no setting name";
    auto indexIn = [&](int count) { return index && *index >= 0 && *index < count; };
    auto indexed = [&](FieldGroup group, int count) -> std::optional<FieldId> {
      if (!indexIn(count)) return std::nullopt;
      return FieldId{group, *index};
    };
    std::optional<FieldId> field;
    if (base == "data") field = indexed(FieldGroup::Data, 16);
    else if (base == "vel") field = indexed(FieldGroup::Vel, 16);
    else if (base == "acc") field = indexed(FieldGroup::Acc, 16);
    else if (base == "limval") field = indexed(FieldGroup::LimVal, 10);
    else if (base == "pid") field = indexed(FieldGroup::Pid, 7);
    else if (base == "enccounts" && !index) field = FieldId{FieldGroup::Scale, 0};
    else if (base == "usercounts" && !index) field = FieldId{FieldGroup::Scale, 1};
    else if (base == "encoderres" && !index) field = FieldId{FieldGroup::EncoderRes};
    if (field) {
      if (editor_.GotFocus(*field)) {
        editor_.TextChanged(*field, edit.value);
        if (!view_.last) editor_.Accept(*field, Key::Enter);
      }
      return Refusal();
    }
    if (base == "mode" && indexIn(16)) {
      const auto mode = Choice(edit.value, kModeNames);
      if (!mode) return "Mode needs 0 to 7 or a mode name (Absolute, Relative, Velocity, E-Limit, Torque, Shunt, OFF, Reset)";
      editor_.SelectMode(*index, static_cast<Mode>(*mode));
      return Refusal();
    }
    if (base == "unitsindex" && !index) {
      const auto unit = Choice(edit.value, kUnitNames);
      if (!unit) return "UnitsIndex needs 0 to 4 or a unit (mm, um, in, deg, rev)";
      editor_.SelectUnit(static_cast<Unit>(*unit));
      return Refusal();
    }
    if (base == "nogo" && indexIn(16)) {
      if (edit.value != "0" && edit.value != "1") return "NoGo needs 0 or 1";
      editor_.SetNoGo(*index, edit.value == "1");
      return std::nullopt;
    }
    if ((base == "powerupops" || base == "faultops" || base == "homeops") && !index) {
      const auto value = ParseNumber(edit.value);
      if (!value || *value != static_cast<int>(*value) || *value < 0 || *value > 255)
        return edit.name + " needs a whole number from 0 to 255";
      OptionBytes bytes = editor_.Settings().Bytes();
      (base == "powerupops" ? bytes.powerUp : base == "faultops" ? bytes.fault : bytes.home) = static_cast<int>(*value);
      editor_.SetOptionBytes(bytes);
      return std::nullopt;
    }
    if (base.starts_with("motor"))
      return "'" + edit.name + "' follows from the user-unit value and the scale; set that instead";
    return "unknown setting '" + edit.name +
           "' (names: Data(i) Vel(i) Acc(i) Mode(i) NoGo(i) i=0..15, LimVal(j) j=0..9, pid(j) j=0..6, EncCounts, "
           "UserCounts, UnitsIndex, EncoderRes, PowerUpOps, FaultOps, HomeOps)";
  }

  std::optional<Message> LastMessage() const { return view_.last; }

 private:
  std::optional<std::string> Refusal() const {
    if (!view_.last) return std::nullopt;
    return view_.last->text + " [" + view_.last->title + "]";
  }

  TerminalView view_;
  SettingsEditor editor_{view_};
};

// The edited value as normalised, then every other value it changed.
void PrintEdit(const Edit& edit, const AxisSettings& before, const AxisSettings& after, std::FILE* out) {
  if (Lower(edit.name) == "encoderres") std::fprintf(out, "EncoderRes=%s\n", after.encoderResText.c_str());
  const auto was = AxisFileEntries(before);
  const auto now = AxisFileEntries(after);
  for (const AxisFileEntry& entry : now)
    if (Lower(entry.key) == Lower(edit.name)) std::fprintf(out, "%s=%s\n", entry.key.c_str(), entry.value.c_str());
  for (std::size_t k = 0; k < now.size(); ++k)
    if (now[k].value != was[k].value && Lower(now[k].key) != Lower(edit.name))
      std::fprintf(out, "  %s=%s\n", now[k].key.c_str(), now[k].value.c_str());
}

int Save(const AxisSettings& settings, const std::filesystem::path& path, std::FILE* err) {
  if (const auto problem = SaveAxisFile(settings, path)) {
    std::fprintf(err, "velkor settings: %s\n", problem->c_str());
    return kFailed;
  }
  return kDone;
}

int New(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  const bool force = std::find(arguments.begin(), arguments.end(), "--force") != arguments.end();
  if (arguments.size() != (force ? 2u : 1u)) return std::fputs(kSettingsUsage, err), kFailed;
  const std::string_view chosen = arguments[0] == "--force" ? arguments[1] : arguments[0];
  const std::filesystem::path path = AxisFileName(std::string(chosen));
  std::error_code error;
  if (!force && std::filesystem::exists(path, error)) {
    std::fprintf(err, "velkor settings: %s exists; --force writes the start-up settings over it\n", path.c_str());
    return kFailed;
  }
  if (Save(AxisSettings(), path, err) != kDone) return kFailed;
  std::fprintf(out, "wrote %s\n", path.c_str());
  return kDone;
}

int Set(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  if (arguments.size() < 2) return std::fputs(kSettingsUsage, err), kFailed;
  std::vector<Edit> edits;
  for (std::string_view word : arguments.subspan(1)) {
    const auto equals = word.find('=');
    if (equals == std::string_view::npos || equals == 0) {
      std::fprintf(err, "velkor settings: '%.*s' is not NAME=VALUE\n", static_cast<int>(word.size()), word.data());
      return kFailed;
    }
    edits.push_back({std::string(word.substr(0, equals)), std::string(word.substr(equals + 1))});
  }
  const auto opened = OpenSettingsFile(arguments[0], err);
  if (!opened) return kFailed;
  SettingsSession session(*opened->settings, std::string(arguments[0]), opened->reportedEncoderRes);
  for (const Edit& edit : edits) {
    const AxisSettings before = session.Settings();
    if (const auto refusal = session.Apply(edit)) {
      std::fprintf(err, "velkor settings: %s=%s refused: %s; nothing was written\n", edit.name.c_str(),
                   edit.value.c_str(), refusal->c_str());
      return kFailed;
    }
    PrintEdit(edit, before, session.Settings(), out);
  }
  return Save(session.Settings(), std::string(arguments[0]), err);
}

int Show(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  if (arguments.size() != 1) return std::fputs(kSettingsUsage, err), kFailed;
  const auto opened = OpenSettingsFile(arguments[0], err);
  if (!opened) return kFailed;
  PrintSettings(*opened->settings, out);
  return kDone;
}

int Diff(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  if (arguments.size() != 2) return std::fputs(kSettingsUsage, err), kFailed;
  const auto a = OpenSettingsFile(arguments[0], err);
  const auto b = OpenSettingsFile(arguments[1], err);
  if (!a || !b) return kFailed;
  const auto lines = AxisFileDifferences(*a->settings, *b->settings);
  for (const std::string& line : lines) std::fprintf(out, "%s\n", line.c_str());
  return lines.empty() ? kDone : kDiffer;
}

}  // namespace

std::optional<setup::OpenedAxisFile> OpenSettingsFile(std::string_view path, std::FILE* err) {
  setup::OpenedAxisFile opened = OpenAxisFile(std::string(path));
  if (!opened.settings) {
    std::fprintf(err, "velkor settings: %s\n", opened.error.c_str());
    return std::nullopt;
  }
  for (const std::string& warning : opened.warnings)
    std::fprintf(err, "velkor settings: %.*s: %s\n", static_cast<int>(path.size()), path.data(), warning.c_str());
  return opened;
}

int Settings(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  if (arguments.empty()) return std::fputs(kSettingsUsage, err), kFailed;
  const std::string_view verb = arguments.front();
  const auto rest = arguments.subspan(1);
  if (verb == "new") return New(rest, out, err);
  if (verb == "show") return Show(rest, out, err);
  if (verb == "set") return Set(rest, out, err);
  if (verb == "download") return SettingsDownloadCommand(rest, out, err);
  if (verb == "upload") return SettingsUploadCommand(rest, out, err);
  // Against a motor when a port is named, else between two files.
  const bool motor = std::any_of(rest.begin(), rest.end(), [](std::string_view word) {
    return word == "--port" || word == "--net" || word == "--usb";
  });
  if (verb == "diff") return motor ? SettingsMotorDiff(rest, out, err) : Diff(rest, out, err);
  std::fprintf(err, "velkor settings: unknown verb '%.*s'\n%s", static_cast<int>(verb.size()), verb.data(),
               kSettingsUsage);
  return kFailed;
}

}  // namespace velkor::client
