#pragma once
// velkor-sim run as a program, as a user runs it in a second terminal: it is
// started with a scenario file, read until it serves, and stopped by SIGTERM.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace velkor::testing {

class SimulatorProcess {
 public:
  SimulatorProcess(const std::filesystem::path& program, const std::filesystem::path& scenario) {
    int output[2];
    if (::pipe(output) != 0) return;
    child_ = ::fork();
    if (child_ == 0) {
      ::dup2(output[1], STDOUT_FILENO);
      ::close(output[0]);
      ::execl(program.c_str(), program.c_str(), scenario.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(output[1]);
    output_ = output[0];
    if (child_ < 0) return;
    char buffer[256];
    while (printed_.find("serving") == std::string::npos) {
      const ssize_t n = ::read(output_, buffer, sizeof buffer);
      if (n <= 0) break;
      printed_.append(buffer, static_cast<std::size_t>(n));
    }
  }
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;
  ~SimulatorProcess() { Stop(); }

  bool Serving() const { return printed_.find("serving") != std::string::npos; }
  const std::string& Printed() const { return printed_; }

  // SIGTERM, then the exit status (-1 when it did not exit by itself).
  int Stop() {
    if (child_ <= 0) return -1;
    ::kill(child_, SIGTERM);
    int status = 0;
    const bool waited = ::waitpid(child_, &status, 0) == child_;
    child_ = -1;
    ::close(output_);
    return waited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t child_ = -1;
  int output_ = -1;
  std::string printed_;
};

}  // namespace velkor::testing
