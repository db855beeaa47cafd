#pragma once
// What a paced line allows: the least line time of the bytes the host sent
// (as the line recorded them) and of the answers. A command goes out in
// pieces of 8 whose echo ends one character after the piece; an answer
// takes its characters.

#include <optional>
#include <string>
#include <string_view>

#include "setup/transfer/engine_channel.h"

namespace velkor::bench {

inline double LineSeconds(const std::string& sent, std::size_t answered, int baud) {
  double characters = static_cast<double>(answered);
  std::size_t line = 0;
  for (char c : sent) {
    ++line;
    if (c == '\r') {
      characters += static_cast<double>(line + (line + 7) / 8);
      line = 0;
    }
  }
  return characters * 10.0 / baud;
}

// Counts the answers' characters (and their CR) on top of the engine channel.
class CountingChannel : public setup::EngineChannel {
 public:
  using EngineChannel::EngineChannel;
  std::optional<std::string> Ask(std::string_view command) override { return Counted(EngineChannel::Ask(command)); }
  std::optional<std::string> HostAsk(std::string_view command) override {
    return Counted(EngineChannel::HostAsk(command));
  }
  std::size_t answered = 0;

 private:
  std::optional<std::string> Counted(std::optional<std::string> answer) {
    if (answer) answered += answer->size() + 1;
    return answer;
  }
};

}  // namespace velkor::bench
