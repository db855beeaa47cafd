#pragma once
// A view that keeps what the setup logic told it, for tests to look at.
// Thread-safe, since a scan calls it from one thread per port.

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "setup/model/view.h"

namespace velkor::setup::testing {

struct RecordingView : View {
  void ShowMessage(const Message& message) override {
    std::lock_guard lock(mutex);
    messages.push_back(message);
    events.push_back("message");
  }
  void SetText(std::string_view control, std::string_view text) override {
    std::lock_guard lock(mutex);
    texts[std::string(control)] = text;
    if (control == "MStat") status.emplace_back(text);
  }
  void SetVisible(std::string_view control, bool on) override { Keep(visibles, control, on); }
  void SetChecked(std::string_view control, bool on) override { Keep(checks, control, on); }
  void SetColour(std::string_view control, std::optional<unsigned> colour) override {
    std::lock_guard lock(mutex);
    if (colour) coloured[std::string(control)] = *colour;
    else coloured.erase(std::string(control));
  }
  void Focus(std::string_view control) override {
    std::lock_guard lock(mutex);
    focus = control;
  }
  void SetHelp(std::string_view text) override {
    std::lock_guard lock(mutex);
    help = text;
  }
  void ShowNotices(std::string_view caption, std::string_view line) override {
    std::lock_guard lock(mutex);
    notices = std::string(caption) + "|" + std::string(line);
    events.push_back("notice " + notices);
  }
  void HideNotices() override {
    std::lock_guard lock(mutex);
    notices.clear();
    events.push_back("hide");
  }
  void SetBusy(bool busy) override {
    std::lock_guard lock(mutex);
    events.push_back(busy ? "busy" : "idle");
  }
  bool Saw(const std::string& event) const { return std::find(events.begin(), events.end(), event) != events.end(); }

  std::mutex mutex;
  std::vector<Message> messages;
  std::map<std::string, std::string> texts;
  std::map<std::string, bool> visibles, checks;
  std::map<std::string, unsigned> coloured;  // painted away from normal
  std::vector<std::string> status;  // the status line, every text it showed
  std::vector<std::string> events;  // notices, messages and the busy pointer, in order
  std::string focus, help, notices;  // notices: "caption|line" while shown

 private:
  void Keep(std::map<std::string, bool>& into, std::string_view control, bool on) {
    std::lock_guard lock(mutex);
    into[std::string(control)] = on;
  }
};

}  // namespace velkor::setup::testing
