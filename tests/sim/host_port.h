#pragma once
// The host's side of a simulated port for tests: starts a scenario, opens the
// pseudo-terminal's device like a serial port and moves raw bytes with generous deadlines.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

#include "sim/frontend/simulator.h"

namespace velkor::sim::testing {

// An address byte (none for a negative address), the text and a CR.
inline std::string Framed(int address, const std::string& text) {
  std::string bytes;
  if (address >= 0) bytes.push_back(static_cast<char>(128 + address));
  return bytes + text + "\r";
}

// Whether no byte could be text: what a rate mismatch or a collision leaves.
inline bool AllGarbage(const std::string& bytes) {
  return std::ranges::all_of(bytes, [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Starts a scenario that must parse and start; never on the caller's USB device list.
inline std::unique_ptr<Simulator> StartScenario(const ScenarioParse& parsed, SimulatorOptions options = {}) {
  EXPECT_TRUE(parsed.errors.empty()) << (parsed.errors.empty() ? "" : FormatError(parsed.errors[0]));
  if (!options.usbDevices) options.usbDevices = std::filesystem::path();
  std::string error;
  auto simulator = Simulator::Start(parsed.scenario, options, error);
  EXPECT_TRUE(simulator) << error;
  return simulator;
}
inline std::unique_ptr<Simulator> StartScenario(const std::string& text, SimulatorOptions options = {}) {
  return StartScenario(ParseScenario(text), std::move(options));
}

class HostPort {
 public:
  explicit HostPort(const std::string& device, speed_t speed = B9600) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0) SetSpeed(speed);
  }
  ~HostPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  HostPort(const HostPort&) = delete;
  HostPort& operator=(const HostPort&) = delete;

  bool IsOpen() const { return fd_ >= 0; }

  void SetSpeed(speed_t speed) {
    termios settings{};
    ::tcgetattr(fd_, &settings);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, speed);
    ::cfsetospeed(&settings, speed);
    settings.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(fd_, TCSANOW, &settings);
  }

  void Write(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) done += static_cast<std::size_t>(n);
      else Wait(POLLOUT, std::chrono::milliseconds(100));
    }
  }
  void Send(int address, const std::string& text) { Write(Framed(address, text)); }

  // Up to `count` bytes, waiting at most `limit` for them all.
  std::string Read(std::size_t count, std::chrono::milliseconds limit = std::chrono::milliseconds(2000)) {
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !Wait(POLLIN, left)) break;
      char buffer[256];
      ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }
  // Bytes up to and including the next CR.
  std::string ReadLine(std::chrono::milliseconds limit = std::chrono::milliseconds(2000)) {
    std::string got;
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.empty() || got.back() != '\r') {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      std::string one = Read(1, left);
      if (one.empty()) break;
      got += one;
    }
    return got;
  }
  // Everything that arrives until the line has been quiet for `quiet`.
  std::string Drain(std::chrono::milliseconds quiet = std::chrono::milliseconds(150)) {
    std::string got;
    for (;;) {
      std::string more = Read(4096, quiet);
      if (more.empty()) return got;
      got += more;
    }
  }
  // Sends a command and returns what comes back: with echo the echo first.
  // When `atLeast` bytes are expected they are waited for generously, so a
  // loaded machine does not pass for a silent motor; then whatever else
  // follows at once.
  std::string Exchange(int address, const std::string& text, std::size_t atLeast = 0) {
    Send(address, text);
    if (atLeast == 0) return Drain();
    std::string got = Read(atLeast, std::chrono::milliseconds(3000));
    return got + Drain(std::chrono::milliseconds(50));
  }

 private:
  bool Wait(short events, std::chrono::milliseconds limit) {
    pollfd fd{fd_, events, 0};
    return ::poll(&fd, 1, static_cast<int>(limit.count())) > 0;
  }

  int fd_ = -1;
};

// Sends a command and checks that exactly `expected` comes back.
inline ::testing::AssertionResult Answers(HostPort& host, int address, const std::string& text,
                                          const std::string& expected) {
  std::string got = host.Exchange(address, text, expected.size());
  if (got == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "'" << text << "' to " << address << " gave "
                                       << ::testing::PrintToString(got) << ", not "
                                       << ::testing::PrintToString(expected);
}

}  // namespace velkor::sim::testing
