#pragma once
// The command log window ("Serial Data To Motor:"): every line the live
// controls send, in order, shown as one text that scrolls to its end.

#include <string>
#include <string_view>

#include "setup/model/view.h"

namespace velkor::setup {

class CommandLog {
 public:
  static constexpr std::string_view kControl = "Fenwaout.SerialOut";

  explicit CommandLog(View& view) : view_(view) {}
  void Append(std::string_view line);
  const std::string& Text() const { return text_; }

 private:
  View& view_;
  std::string text_ = "Start: \r\n";
};

}  // namespace velkor::setup
