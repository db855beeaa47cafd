#pragma once
// Where the setup application keeps its files: the window settings under
// the user's configuration folder, the axis data files under the user's
// data folder (the program's own folder is read-only once installed).

#include <filesystem>

namespace velkor::setup {

// $XDG_CONFIG_HOME/velkor/FenwaSU.ini (~/.config/velkor/...).
std::filesystem::path WindowSettingsFile();
// $XDG_DATA_HOME/velkor/Axis Data Files (~/.local/share/velkor/...), created
// when missing; the save and open dialogs start there.
std::filesystem::path AxisDataFolder();

}  // namespace velkor::setup
