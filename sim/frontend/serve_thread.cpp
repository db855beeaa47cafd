#include "sim/frontend/serve_thread.h"

#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velkor::sim {

ServeThread::ServeThread() : wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

bool ServeThread::Start(std::function<void()> serve, std::string& error) {
  if (!wake_.Valid()) {
    error = std::string("cannot create the wake-up event: ") + std::strerror(errno);
    return false;
  }
  if (thread_.joinable()) return true;
  stopping_ = false;
  thread_ = std::thread([serve = std::move(serve)] {
    // The characters of a fast line are a few hundred microseconds apart:
    // the kernel's default slack of 50 us on every wake would slow it down.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    serve();
  });
  return true;
}

void ServeThread::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  std::uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(wake_.Get(), &one, sizeof one);
  thread_.join();
}

int PollFor(std::vector<pollfd>& descriptors, std::optional<std::chrono::nanoseconds> wait) {
  timespec timeout{};
  if (wait) {
    const auto bounded = std::clamp<std::chrono::nanoseconds>(*wait, std::chrono::nanoseconds(0), std::chrono::seconds(1));
    timeout.tv_sec = static_cast<time_t>(bounded.count() / 1'000'000'000);
    timeout.tv_nsec = static_cast<long>(bounded.count() % 1'000'000'000);
  }
  return ::ppoll(descriptors.data(), descriptors.size(), wait ? &timeout : nullptr, nullptr);
}

}  // namespace velkor::sim
