#include "setup/live/terminal.h"

namespace velkor::setup {

bool ChangesLineRate(std::string_view command) {
  return command.substr(0, 4) == "BAUD" || (command.size() >= 5 && command.substr(1, 4) == "BAUD");
}

bool TerminalEnter(std::string_view command, MotorChannel& motor, View& view) {
  if (ChangesLineRate(command)) {
    view.ShowMessage({"Terminal Window", "Use Drop Down to Select new BaudRate", Icon::Exclamation});
    view.Focus("CommandText");
    return false;
  }
  motor.ClearBuffer();
  // A command that draws no answer is not an error to show; the box is
  // emptied so that an old answer does not pass for this one's.
  view.SetText("ResponseText", motor.HostAsk(command).value_or(""));
  view.Focus("CommandText");
  return true;
}

}  // namespace velkor::setup
