#pragma once
// The setup logic's view carried out on Qt widgets found by their object
// names: "PrePos(3)" in the main window, "FenwaMV.mpos(3)" in another
// window. Calls from the motor session's worker thread are handed to the
// window's thread in the order they were made; a message box waits there
// until the user has read it.

#include <QPointer>
#include <QWidget>
#include <atomic>
#include <functional>
#include <map>
#include <string>

#include "setup/model/view.h"

namespace velkor::setup::ui {

class QtView : public View {
 public:
  // `main` is the window whose controls go without a window name.
  explicit QtView(QWidget& main);
  void AddWindow(QWidget& window);  // found by its object name

  // Tests read the message boxes here instead of seeing them.
  std::function<void(const Message&)> messageHook;
  // The help line, the notices window and the panels of the settings area.
  std::function<void(std::string_view caption, std::string_view line)> noticesShown;
  std::function<void()> noticesHidden;
  std::function<void(bool)> busyChanged;

  QWidget* Find(std::string_view control) const;
  // The window is closing and waits for the session: what the session
  // still shows is dropped, so that a message box cannot wait for a window
  // that waits for it.
  void Detach() { detached_ = true; }

  void ShowMessage(const Message& message) override;
  void SetTitle(std::string_view title) override;
  void SetText(std::string_view control, std::string_view text) override;
  void SetIndex(std::string_view control, int index) override;
  void SetChecked(std::string_view control, bool checked) override;
  void SetEnabled(std::string_view control, bool enabled) override;
  void SetVisible(std::string_view control, bool visible) override;
  void Focus(std::string_view control) override;
  void SetWarning(std::string_view control, bool on) override;
  void SetPicture(std::string_view control, int image) override;
  void BringToFront(std::string_view panel) override;
  void SetHelp(std::string_view text) override;
  void ShowNotices(std::string_view caption, std::string_view line) override;
  void HideNotices() override;
  void SetBusy(bool busy) override;
  void SetColour(std::string_view control, std::optional<unsigned> colour) override;

 private:
  // Runs `apply` on the window's thread: at once there, queued from elsewhere.
  void OnWindowThread(std::function<void()> apply, bool wait = false);
  void Apply(std::string_view control, std::function<void(QWidget&)> apply);

  QPointer<QWidget> main_;
  std::atomic<bool> detached_{false};
  std::map<std::string, QPointer<QWidget>, std::less<>> windows_;
};

}  // namespace velkor::setup::ui
