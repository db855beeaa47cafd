#pragma once
// Axis data files (.adf): one axis's settings as INI text, saved key by key
// over what the file held (unknown sections and keys stay) and opened back.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "setup/model/axis_settings.h"

namespace velkor::setup {

// The name a save uses: the chosen name with its extension made ".adf".
std::filesystem::path AxisFileName(const std::filesystem::path& chosen);

// The settings as the file's keys hold them, in the order a save writes
// them (the motor's own section apart): what a save writes, what two files
// are compared by.
struct AxisFileEntry {
  std::string section, key, value;
};
std::vector<AxisFileEntry> AxisFileEntries(const AxisSettings& settings);
// Every key whose value differs, in file order, as "key: a | b".
std::vector<std::string> AxisFileDifferences(const AxisSettings& a, const AxisSettings& b);

// Writes every key in one replacement of the file, so that a crash never
// leaves half of it. The option bytes are those of the option controls.
// On failure: what went wrong, for the user; the old file is unchanged.
std::optional<std::string> SaveAxisFile(const AxisSettings& settings, const std::filesystem::path& path);

struct OpenedAxisFile {
  std::optional<AxisSettings> settings;  // nothing when the file could not be read (see `error`)
  std::string error;
  // Values that could not be used as they stand (a mode out of the list,
  // an option byte that is no number), each with what was used instead.
  std::vector<std::string> warnings;
  // "EncoderRes" of the motor's own section: the resolution the motor
  // reported when the file was saved ("0" when absent).
  std::string reportedEncoderRes = "0";
};

// The settings as stored: an absent key reads as "0", texts that are no
// numbers go into their fields as they stand (the input rules catch them at
// the next edit), motor-unit values are not recomputed. The resolution, the
// motor information and DecPlaces are not in the file and keep their
// start-up values.
OpenedAxisFile OpenAxisFile(const std::filesystem::path& path);

}  // namespace velkor::setup
