#pragma once
// A pseudo-terminal between the engine and a simulated port that keeps every
// byte the engine sends, so that tests can see the exact commands. The
// simulator's pseudo-terminal reads its line rate from the host side, so the
// rate the engine sets here is passed on.

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace velkor::engine::testing {

class RecordingPort {
 public:
  explicit RecordingPort(const std::string& simulatorDevice) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    device_ = ::ptsname(master_);
    // Held open (and never read) so that the pair survives the engine
    // closing and reopening the port.
    keeper_ = Open(device_);
    simulator_ = Open(simulatorDevice);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (keeper_ >= 0 && simulator_ >= 0 && wake_ >= 0) thread_ = std::thread([this] { Run(); });
  }
  ~RecordingPort() {
    stopping_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t woken = ::write(wake_, &one, sizeof one);
    if (thread_.joinable()) thread_.join();
    for (int fd : {master_, keeper_, simulator_, wake_})
      if (fd >= 0) ::close(fd);
  }
  RecordingPort(const RecordingPort&) = delete;
  RecordingPort& operator=(const RecordingPort&) = delete;

  bool Ready() const { return thread_.joinable(); }
  const std::string& DevicePath() const { return device_; }

  // The command lines sent since the last call, CR removed; an address byte
  // shows as "@N " before the text it precedes ("@2 RP", "@1 " alone).
  std::vector<std::string> TakeLines() {
    std::vector<std::string> lines(1);
    for (unsigned char byte : TakeBytes()) {
      if (byte >= 0x80) lines.back() += "@" + std::to_string(byte - 0x80) + " ";
      else if (byte == '\r') lines.emplace_back();
      else lines.back().push_back(static_cast<char>(byte));
    }
    if (lines.back().empty()) lines.pop_back();
    return lines;
  }

  // Every byte sent since the last call, as it went out.
  std::string TakeBytes() {
    std::lock_guard lock(mutex_);
    while (Pump()) {
    }
    return std::exchange(sent_, {});
  }

 private:

  // Records and passes on what the engine sent; false once nothing is left.
  // A read of the master first moves on whatever the kernel still holds for
  // it, so that afterwards every byte the engine has written is recorded.
  // Called with the lock held.
  bool Pump() {
    char buffer[512];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) return false;
    sent_.append(buffer, static_cast<std::size_t>(n));
    // Follow the rate the engine set on its side of the pair.
    termios engineSide{};
    if (::tcgetattr(master_, &engineSide) == 0 && ::cfgetospeed(&engineSide) != rate_)
      SetRate(simulator_, rate_ = ::cfgetospeed(&engineSide));
    WriteAll(simulator_, buffer, static_cast<std::size_t>(n));
    return true;
  }

  static int Open(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    SetRate(fd, B9600);
    return fd;
  }
  static void SetRate(int fd, speed_t speed) {
    termios settings{};
    if (fd < 0 || ::tcgetattr(fd, &settings) != 0) return;
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, speed);
    settings.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &settings);
  }

  static void WriteAll(int fd, const char* bytes, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (count > 0 && std::chrono::steady_clock::now() < deadline) {
      const ssize_t n = ::write(fd, bytes, count);
      if (n > 0) {
        bytes += n;
        count -= static_cast<std::size_t>(n);
      } else {
        pollfd out{fd, POLLOUT, 0};
        ::poll(&out, 1, 20);
      }
    }
  }

  void Run() {
    while (!stopping_) {
      pollfd fds[3] = {{master_, POLLIN, 0}, {simulator_, POLLIN, 0}, {wake_, POLLIN, 0}};
      if (::poll(fds, 3, 200) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        std::lock_guard lock(mutex_);
        Pump();
      }
      if (fds[1].revents & POLLIN) {
        char buffer[512];
        const ssize_t n = ::read(simulator_, buffer, sizeof buffer);
        if (n > 0) WriteAll(master_, buffer, static_cast<std::size_t>(n));
      }
    }
  }

  int master_ = -1, keeper_ = -1, simulator_ = -1, wake_ = -1;
  std::string device_;
  speed_t rate_ = B9600;
  std::mutex mutex_;
  std::string sent_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace velkor::engine::testing
