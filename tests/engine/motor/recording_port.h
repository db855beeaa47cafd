#pragma once
// A pseudo-terminal between the engine and a simulated port that keeps every
// byte the engine sends, so that tests can see the exact commands. The
// simulator's pseudo-terminal reads its line rate from the host side, so the
// rate the engine sets here is passed on.

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
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
    keeper_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    MakeRaw(keeper_, B9600);
    simulator_ = ::open(simulatorDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    MakeRaw(simulator_, B9600);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (keeper_ >= 0 && simulator_ >= 0 && wake_ >= 0) thread_ = std::thread([this] { Run(); });
  }
  ~RecordingPort() {
    stopping_ = true;
    if (wake_ >= 0) {
      std::uint64_t one = 1;
      [[maybe_unused]] auto written = ::write(wake_, &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
    for (int fd : {master_, keeper_, simulator_, wake_})
      if (fd >= 0) ::close(fd);
  }
  RecordingPort(const RecordingPort&) = delete;
  RecordingPort& operator=(const RecordingPort&) = delete;

  bool Ready() const { return thread_.joinable(); }
  const std::string& DevicePath() const { return device_; }

  std::string Bytes() {
    std::unique_lock lock = Caught();
    return sent_;
  }
  void Forget() {
    std::unique_lock lock = Caught();
    sent_.clear();
  }
  // The command lines sent, CR removed; an address byte shows as "@N "
  // before the text it precedes ("@2 RP", "@1 " for a lone selection).
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    std::string current;
    for (char c : Bytes()) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte >= 0x80) {
        current += "@" + std::to_string(byte - 0x80) + " ";
      } else if (byte == '\r') {
        lines.push_back(current);
        current.clear();
      } else {
        current.push_back(c);
      }
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
  }

 private:
  // The lock, once everything the engine has written so far is recorded:
  // bytes are read and recorded under the lock, so none is in between.
  std::unique_lock<std::mutex> Caught() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
      std::unique_lock lock(mutex_);
      int waiting = 0;
      if (::ioctl(master_, FIONREAD, &waiting) != 0 || waiting == 0 || std::chrono::steady_clock::now() > deadline)
        return lock;
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  static void MakeRaw(int fd, speed_t speed) {
    if (fd < 0) return;
    termios settings{};
    ::tcgetattr(fd, &settings);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    settings.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd, TCSANOW, &settings);
  }

  static void WriteAll(int fd, const char* bytes, std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (count > 0 && std::chrono::steady_clock::now() < deadline) {
      ssize_t n = ::write(fd, bytes, count);
      if (n > 0) {
        bytes += n;
        count -= static_cast<std::size_t>(n);
      } else {
        pollfd out{fd, POLLOUT, 0};
        ::poll(&out, 1, 20);
      }
    }
  }

  // The engine's rate, as it set it on its side of the pair.
  void FollowRate() {
    termios engineSide{};
    if (::tcgetattr(master_, &engineSide) != 0) return;
    const speed_t speed = ::cfgetospeed(&engineSide);
    if (speed != rate_) {
      rate_ = speed;
      MakeRaw(simulator_, speed);
    }
  }

  void Run() {
    char buffer[512];
    while (!stopping_) {
      pollfd fds[3] = {{master_, POLLIN, 0}, {simulator_, POLLIN, 0}, {wake_, POLLIN, 0}};
      if (::poll(fds, 3, 200) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        std::unique_lock lock(mutex_);
        ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) sent_.append(buffer, static_cast<std::size_t>(n));
        lock.unlock();
        if (n > 0) {
          FollowRate();
          WriteAll(simulator_, buffer, static_cast<std::size_t>(n));
        }
      }
      if (fds[1].revents & POLLIN) {
        ssize_t n = ::read(simulator_, buffer, sizeof buffer);
        if (n > 0) WriteAll(master_, buffer, static_cast<std::size_t>(n));
      }
      // Without the engine on the other end the master reports a hang-up
      // until it reopens; do not spin meanwhile.
      if ((fds[0].revents & POLLHUP) && !(fds[0].revents & POLLIN))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
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
