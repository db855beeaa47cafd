#pragma once
// Long engine calls seen from the command line: a progress bar drawn from
// the engine's notifications, and Ctrl-C turned into the notification's
// cancel reply instead of killing the program halfway.

#include <csignal>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "velkor/window.h"

namespace velkor::client {

// While one lives, Ctrl-C (or SIGTERM) only marks the call for cancelling,
// so that it ends the way a cancel does.
class InterruptAsCancel {
 public:
  InterruptAsCancel();
  ~InterruptAsCancel();
  InterruptAsCancel(const InterruptAsCancel&) = delete;
  InterruptAsCancel& operator=(const InterruptAsCancel&) = delete;
  static bool Interrupted();

 private:
  struct sigaction previous_ {};
  struct sigaction previousTerminate_ {};
};

inline constexpr std::uint32_t kProgressMessage = 0x0400;  // any number the window recognises

// Draws notifications on stderr: a code that starts a phase (with its step
// count), 2 for the step reached, 3 for the end.
class ProgressBar {
 public:
  using Phase = std::pair<VNX_WPARAM, const char*>;
  ProgressBar(std::FILE* err, std::initializer_list<Phase> phases) : err_(err), phases_(phases) {}
  ~ProgressBar() { Finish(false); }
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;
  // The reply to the engine: 0 (cancel) once Ctrl-C was pressed.
  VNX_LRESULT Note(VNX_WPARAM code, VNX_LPARAM number);
  // Ends the bar's line, so that what is printed next starts a line of its
  // own. A call that completed shows its bar full: the step counts are
  // estimates (a motor may send fewer bytes than the image's length).
  void Finish(bool completed);

 private:
  void Start(const char* what, VNX_LPARAM steps);
  void Draw(VNX_LPARAM step);

  std::FILE* err_;
  std::vector<Phase> phases_;
  const char* what_ = "";
  long long steps_ = 1;
  bool drawn_ = false;
  bool counting_ = false;  // a phase of unknown length shows the count alone
};

// A notification window that feeds the bar.
inline NotificationWindow WindowFor(ProgressBar& bar) {
  return NotificationWindow([&bar](std::uint32_t message, VNX_WPARAM code, VNX_LPARAM number) -> VNX_LRESULT {
    return message == kProgressMessage ? bar.Note(code, number) : 1;
  });
}

}  // namespace velkor::client
