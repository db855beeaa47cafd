#pragma once
// What the setup logic shows, as a window (or a terminal, or a test) carries
// it out. Controls are named as the window names its widgets: the control
// name, with the index in parentheses for control arrays ("PrePos(3)"), and
// "FenwaMV." in front for the motor-values window. Every call has a default
// that does nothing, so a view implements only what it can show.

#include <concepts>
#include <optional>
#include <string>
#include <string_view>

namespace velkor::setup {

enum class Icon { None, Information, Exclamation, Critical };

struct Message {
  std::string title;
  std::string text;
  Icon icon = Icon::Exclamation;
  bool operator==(const Message&) const = default;
};

class View {
 public:
  virtual ~View() = default;
  virtual void ShowMessage(const Message&) {}  // modal: returns when the user has read it
  virtual void SetTitle(std::string_view) {}
  virtual void SetText(std::string_view /*control*/, std::string_view /*text*/) {}  // field text or caption
  virtual void SetIndex(std::string_view /*control*/, int /*index*/) {}  // the chosen item of a list
  virtual void SetChecked(std::string_view /*control*/, bool) {}  // check box or option button
  virtual void SetEnabled(std::string_view /*control*/, bool) {}
  virtual void SetVisible(std::string_view /*control*/, bool) {}
  virtual void Focus(std::string_view /*control*/) {}  // the focus, with the whole text selected
  virtual void SetWarning(std::string_view /*control*/, bool) {}  // the warning background
  virtual void SetPicture(std::string_view /*control*/, int /*image*/) {}
  virtual void BringToFront(std::string_view /*panel*/) {}
  virtual void SetHelp(std::string_view) {}  // the help line
  // The notices window of a transfer: shown without blocking, its line
  // changed as the transfer goes on.
  virtual void ShowNotices(std::string_view /*caption*/, std::string_view /*line*/) {}
  virtual void HideNotices() {}
  // A transfer runs: the busy pointer, the window disabled.
  virtual void SetBusy(bool) {}
  // A background colour (0xBBGGRR), or nothing for the control's normal one.
  virtual void SetColour(std::string_view /*control*/, std::optional<unsigned> /*colour*/) {}
};

// "PrePos" and 3 give "PrePos(3)".
template <std::integral Index>
std::string Indexed(std::string_view control, Index index) {
  return std::string(control) + "(" + std::to_string(index) + ")";
}

}  // namespace velkor::setup
