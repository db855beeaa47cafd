#include "setup/live/command_log.h"

namespace velkor::setup {

void CommandLog::Append(std::string_view line) {
  text_ += line;
  text_ += "\r\n";
  view_.SetText(kControl, text_);
}

}  // namespace velkor::setup
