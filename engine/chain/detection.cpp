// Detection: which addresses answer on an RS232 chain or an RS485 bus, and
// whether some motor still answers once every found one sleeps.

#include <optional>
#include <string>

#include "engine/chain/chain.h"
#include "engine/chain/scan_steps.h"
#include "engine/motor/info_block.h"
#include "engine/motor/motor_memory.h"

namespace velkor::engine {

namespace {

// Where a motor given no address by the host waits to be found.
constexpr std::int32_t kParkingAddress = 114;
constexpr std::int32_t kHighestSleeper = 100;

// What tells the two wirings apart while probing.
struct Probe {
  const char* query;                   // "RBe" on a chain, "RCLK" on a bus
  bool (*usable)(std::string_view);    // the answer a motor gives to it
  bool lineErrorsAreBad;               // parity, framing and break errors end the scan
  bool recordParkedAddress;            // the re-addressed motor keeps its address in EEPROM
};

bool UsableClockAnswer(std::string_view answer) {
  if (answer.size() == 1) return true;
  return scan::IsDecimal(answer) && answer.find_first_not_of("-0") != std::string_view::npos;
}

bool IsLineError(const CVNXException& exception) {
  return scan::Is(exception, ErrorCode::Parity) || scan::Is(exception, ErrorCode::Framing) ||
         scan::Is(exception, ErrorCode::Break);
}

// A found motor of firmware 46x has only its main channel.
void NoteFirmware(HostLink& link, MotorRecord& motor) {
  try {
    motor.ReadVersion();
  } catch (const CVNXException&) {
    return;  // it answered the probe; an unknown version does not drop it
  }
  if (motor.firmwareVersion.starts_with("46")) link.settings.rs485Channel = 0;
}

// Probes 1..MaxMotors and the parking address; kFound or the result that ends the scan.
std::int32_t ProbeAddresses(Chain& chain, const Probe& probe) {
  HostLink& link = *chain.link;
  const std::int32_t most = link.settings.maxMotors;
  std::int32_t last = 0;
  for (std::int32_t a = 1; a <= most + 1; ++a) {
    const std::int32_t asked = a <= most ? a : kParkingAddress;
    std::optional<std::string> answer;
    try {
      answer = link.SendCommandGetResponse(probe.query, asked, false);
    } catch (const CVNXException& exception) {
      if (scan::Is(exception, ErrorCode::InvalidEcho)) {
        scan::Pause(scan::kSettle);
        link.ClearBuffer();
        scan::End(link);
        return scan_result::kBadAnswer;
      }
      if (probe.lineErrorsAreBad && IsLineError(exception)) {
        scan::End(link);
        return scan_result::kBadAnswer;
      }
      // Anything else means nobody answered: the address is empty.
    }
    if (answer) {
      if (!probe.usable(*answer)) {
        scan::End(link);
        return scan_result::kBadAnswer;
      }
      last = a <= most ? a : last + 1;
      if (asked == kParkingAddress) link.SendCommand("ADDR=" + std::to_string(last), kParkingAddress, false);
      auto motor = scan::Register(chain, last);
      if (asked == kParkingAddress && probe.recordParkedAddress)
        WriteMotorByte(*motor, motor_memory::kAssignedAddress, static_cast<std::uint8_t>(last));
      NoteFirmware(link, *motor);
    }
    scan::Progress(link, a);
  }
  return scan_result::kFound;
}

// Whether some motor is still awake; on a bus, line errors count as silence.
bool SomeoneAnswers(HostLink& link, bool lineErrorsAreSilence) {
  try {
    link.SendCommandGetResponse("RBe", 0, false);
    return true;
  } catch (const CVNXException& exception) {
    if (scan::Is(exception, ErrorCode::NoResponse)) return false;
    if (lineErrorsAreSilence && IsLineError(exception)) return false;
    throw;
  }
}

std::int32_t Verdict(bool found, bool answered, bool answeredHigh) {
  if (!answered) return found ? scan_result::kFound : scan_result::kNotFound;
  if (!answeredHigh) return scan_result::kAboveMaximum;
  return found ? scan_result::kOthersAnswer : scan_result::kNoneInRange;
}

// After probing: every found motor sleeps, then the motors above MaxMotors.
std::int32_t CheckForOthers(Chain& chain, std::int32_t flags, bool onBus) {
  HostLink& link = *chain.link;
  const std::string sleep = onBus ? scan::OnChannel(link, "SLEEP") : std::string("SLEEP");
  const std::string wake = onBus ? scan::OnChannel(link, "WAKE") : std::string("WAKE");
  try {
    for (const auto& motor : chain.motors.Records()) motor->MotorSendCommand(sleep);
    const bool answered = SomeoneAnswers(link, onBus);
    if (!onBus) {
      scan::Pause(scan::kSettle);
      link.ClearBuffer();
    }
    bool answeredHigh = false;
    if (answered) {
      for (std::int32_t a = link.settings.maxMotors + 1; a <= kHighestSleeper; ++a) link.SendCommand(sleep, a, false);
      answeredHigh = SomeoneAnswers(link, onBus);
    }
    if (!onBus) {
      scan::Pause(scan::kSettle);
      link.ClearBuffer();
    }
    link.SendCommand(wake, 0, false);
    link.SelectMotor(0);
    scan::End(link);
    return Verdict(!chain.motors.Empty(), answered, answeredHigh);
  } catch (const CVNXException& exception) {
    // The motors found sleep by now: whatever failed, they are woken, so
    // that a failed look leaves the line as usable as it found it.
    try {
      scan::Pause(scan::kSettle);
      link.ClearBuffer();
      link.SendCommand(wake, 0, false);
    } catch (const CVNXException&) {
    }
    scan::End(link);
    return scan::ResultOrRaise(flags, scan_result::kEngineError, exception);
  }
}

}  // namespace

std::int32_t DetectChain(Chain chain, std::int32_t flags) {
  HostLink& link = *chain.link;
  if (link.settings.linkType != LinkType::RS232)
    return scan::ResultOrRaise(flags, scan_result::kNotFound, CVNXException(ErrorCode::InvalidData));
  scan::Forget(chain);
  try {
    EstablishChain(link);
  } catch (const CVNXException& exception) {
    return scan::ResultOrRaise(flags, scan_result::kNotFound, exception);
  }
  try {
    scan::Begin(link, scan_notification::kScanBegins, link.settings.maxMotors);
    scan::Progress(link, 0);
    try {
      scan::ToAll(link, "WAKE");
      scan::ToAll(link, "WAKE");
      if (!(flags & scan_flag::kNoEnd)) scan::ToAll(link, "END");
    } catch (const CVNXException& exception) {
      scan::End(link);
      return scan::ResultOrRaise(flags, scan_result::kEngineError, exception);
    }
    static constexpr Probe kChainProbe{"RBe", scan::IsBitAnswer, false, false};
    std::int32_t probed;
    try {
      probed = ProbeAddresses(chain, kChainProbe);
    } catch (const CVNXException& exception) {
      scan::End(link);
      return scan::ResultOrRaise(flags, scan_result::kEngineError, exception);
    }
    if (probed != scan_result::kFound) return probed;
    return CheckForOthers(chain, flags, false);
  } catch (const scan::Cancelled&) {
    return scan_result::kCancelled;
  }
}

std::int32_t DetectBus(Chain chain, std::int32_t flags) {
  HostLink& link = *chain.link;
  if (link.settings.linkType != LinkType::RS485)
    return scan::ResultOrRaise(flags, scan_result::kNotFound, CVNXException(ErrorCode::InvalidData));
  scan::Forget(chain);
  link.settings.echo = false;
  try {
    BroadcastBusRate(link);
    link.Reopen(link.settings.chainBaudRate, -1);
    scan::ToAll(link, scan::OnChannel(link, "WAKE"));
    scan::ToAll(link, scan::OnChannel(link, "WAKE"));
    scan::ToAll(link, "IFX");
    if (!(flags & scan_flag::kNoEnd)) scan::ToAll(link, "END");
    try {
      link.BytesAvailable();  // reads the line-error state, which is discarded
    } catch (const CVNXException&) {
    }
  } catch (const CVNXException& exception) {
    return scan::ResultOrRaise(flags, scan_result::kEngineError, exception);
  }
  try {
    scan::Begin(link, scan_notification::kScanBegins, link.settings.maxMotors + 1);
    scan::Progress(link, 0);
    static constexpr Probe kBusProbe{"RCLK", UsableClockAnswer, true, true};
    std::int32_t probed;
    try {
      probed = ProbeAddresses(chain, kBusProbe);
    } catch (const CVNXException& exception) {
      scan::End(link);
      return scan::ResultOrRaise(flags, scan_result::kEngineError, exception);
    }
    if (probed != scan_result::kFound) return probed;
    return CheckForOthers(chain, flags, true);
  } catch (const scan::Cancelled&) {
    return scan_result::kCancelled;
  }
}

}  // namespace velkor::engine
