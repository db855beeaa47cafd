#include "engine/chain/scan_steps.h"

#include <thread>

namespace velkor::engine::scan {

void Progress(const HostLink& link, std::intptr_t step) {
  if (link.Notify(scan_notification::kStep, step) == 0) {
    End(link);
    throw Cancelled{};
  }
}

void Begin(const HostLink& link, std::uint32_t code, std::intptr_t steps) { link.Notify(code, steps); }

void End(const HostLink& link) { link.Notify(scan_notification::kEnd, 0); }

void Pause(std::chrono::milliseconds time) { std::this_thread::sleep_for(time); }

bool Is(const CVNXException& exception, ErrorCode code) { return exception.Code() == static_cast<std::uint32_t>(code); }

std::string OnChannel(const HostLink& link, std::string_view command) {
  std::string text(command);
  if (link.settings.rs485Channel == 1) text += '1';
  return text;
}

void ToAll(HostLink& link, std::string_view text) { link.SendCommand(text, 0, true); }

void ToAllUnselected(HostLink& link, std::string_view text) { link.SendCommand(text, 0, false); }

std::optional<std::string> AskQuietly(HostLink& link, std::string_view text, std::int32_t address, bool select) {
  link.SendCommand(text, address, select);
  std::string line;
  while (line.size() + 1 < kAnswerSize) {
    std::string byte;
    try {
      byte = link.ReadBytes(1, link.settings.timeout);
    } catch (const CVNXException& exception) {
      if (Is(exception, ErrorCode::NoResponse) && line.empty()) return std::nullopt;
      throw;
    }
    if (byte[0] == '\r') break;
    line += byte[0];
  }
  return line;
}

bool IsBitAnswer(std::string_view answer) { return answer == "0" || answer == "1"; }

bool IsDecimal(std::string_view answer) {
  if (!answer.empty() && answer.front() == '-') answer.remove_prefix(1);
  if (answer.empty()) return false;
  for (char c : answer)
    if (c < '0' || c > '9') return false;
  return true;
}

std::shared_ptr<MotorRecord> Register(Chain& chain, std::int32_t address) {
  auto record = chain.motors.Add(address, chain.link);
  chain.link->motorCount = static_cast<std::int32_t>(chain.motors.Size());
  return record;
}

void Forget(Chain& chain) {
  chain.motors.Clear();
  chain.link->motorCount = 0;
}

std::int32_t ResultOrRaise(std::int32_t flags, std::int32_t result, const CVNXException& error) {
  if (flags & scan_flag::kRaise) throw error;
  return result;
}

}  // namespace velkor::engine::scan
