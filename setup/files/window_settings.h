#pragma once
// "FenwaSU.ini": where the main window was when it was last closed, and how
// the application last ended.

#include <filesystem>
#include <optional>

namespace velkor::setup {

// Window edges in twips (1/1440 inch).
struct WindowPosition {
  int top = 0;
  int left = 0;
  bool operator==(const WindowPosition&) const = default;
};

// How the application last left the file's "Move" key.
enum class MoveState { Deactivated = 2, Terminated = 3, Closed = 5 };

// The position to restore, or nothing (the window stays where its design
// puts it) when the file, its "Move" key or a usable "Top" and "Left" are
// missing, or "Move" is "0".
std::optional<WindowPosition> RestoredPosition(const std::filesystem::path& file);

// At a normal close: "Top", "Left" and "Move" = 5. The folder is created.
bool SavePosition(const std::filesystem::path& file, WindowPosition position);
// When the window loses activation (2) or the application terminates (3).
bool WriteMoveState(const std::filesystem::path& file, MoveState state);

}  // namespace velkor::setup
