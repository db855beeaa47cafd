#include "tools/velkor/progress.h"


namespace velkor::client {
namespace {

volatile std::sig_atomic_t interrupted = 0;
void OnInterrupt(int) { interrupted = 1; }

constexpr int kBarWidth = 30;

}  // namespace

InterruptAsCancel::InterruptAsCancel() {
  interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous_);
  sigaction(SIGTERM, &action, &previousTerminate_);
}

InterruptAsCancel::~InterruptAsCancel() {
  sigaction(SIGINT, &previous_, nullptr);
  sigaction(SIGTERM, &previousTerminate_, nullptr);
}

bool InterruptAsCancel::Interrupted() { return interrupted != 0; }

VNX_LRESULT ProgressBar::Note(VNX_WPARAM code, VNX_LPARAM number) {
  bool started = false;
  for (const Phase& phase : phases_) {
    if (phase.first == code) {
      Start(phase.second, number);
      started = true;
    }
  }
  if (!started) {
    // The end of a phase leaves the line open for Finish.
    if (code == 2) Draw(number);
  }
  return interrupted ? 0 : 1;
}

void ProgressBar::Finish(bool completed) {
  if (!drawn_) return;
  if (completed && !counting_) Draw(steps_);
  std::fputc('\n', err_);
  std::fflush(err_);
  drawn_ = false;
}

void ProgressBar::Start(const char* what, VNX_LPARAM steps) {
  if (drawn_) std::fputc('\n', err_);
  what_ = what;
  counting_ = steps <= 0;
  steps_ = steps > 0 ? steps : 1;
  Draw(0);
}

void ProgressBar::Draw(VNX_LPARAM step) {
  if (counting_) {
    std::fprintf(err_, "\r%-22s %lld", what_, static_cast<long long>(step));
  } else {
    const long long shown = step < 0 ? 0 : (step > steps_ ? steps_ : step);
    const int filled = static_cast<int>(shown * kBarWidth / steps_);
    std::fprintf(err_, "\r%-22s [%s%s] %lld/%lld", what_, std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kBarWidth - filled), '.').c_str(), shown, steps_);
  }
  std::fflush(err_);
  drawn_ = true;
}

}  // namespace velkor::client
