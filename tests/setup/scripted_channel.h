#pragma once
// A channel that answers from a table and keeps every command, for the
// sequences whose effect is in what they send.

#include <map>
#include <string>
#include <vector>

#include "setup/transfer/motor_channel.h"

namespace velkor::setup::testing {

// Answers from a table; every command kept.
struct ScriptedChannel : MotorChannel {
  bool Write(std::string_view command) override { return Keep(command), true; }
  std::optional<std::string> Ask(std::string_view command) override { return HostAsk(command); }
  bool HostWrite(std::string_view command) override { return Keep(command), true; }
  std::optional<std::string> HostAsk(std::string_view command) override {
    Keep(command);
    const auto answer = answers.find(std::string(command));
    if (answer == answers.end()) return std::nullopt;
    return answer->second;
  }
  bool ClearBuffer() override { return true; }
  bool DownloadProgram(const std::filesystem::path&) override { return false; }
  int Address() const override { return 1; }
  std::string LastFailure() const override { return {}; }
  void Keep(std::string_view command) { sent.emplace_back(command); }
  std::map<std::string, std::string> answers;
  std::vector<std::string> sent;
};

}  // namespace velkor::setup::testing
