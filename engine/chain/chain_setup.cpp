// RS232 chain address set-up: with every echo off, the first motor still
// unaddressed takes the next address (motors before it are asleep but pass
// the text on); once a motor's echo closes the loop back to the host, the
// whole chain is addressed.

#include <optional>
#include <string>

#include "engine/chain/chain.h"
#include "engine/chain/scan_steps.h"

namespace velkor::engine {

namespace {

// The number of motors, or the failure that ends the set-up early.
struct Count {
  std::int32_t motors = 0;
  std::int32_t result = scan_result::kFound;
  std::optional<CVNXException> error;
};

Count CountByAddressing(HostLink& link, std::int32_t flags) {
  if (!(flags & scan_flag::kNoEnd)) scan::ToAll(link, "END");
  scan::ToAll(link, "SADDR0");
  scan::ToAll(link, "ECHO_OFF");
  link.settings.echo = false;
  const std::int32_t most = link.settings.maxMotors;
  for (std::int32_t n = 0;;) {
    const std::int32_t next = n + 1;
    scan::ToAll(link, "SADDR" + std::to_string(next));
    try {
      link.SendCommand("ECHO", next, true);
      link.settings.echo = true;
      link.SendCommand("SLEEP", next, true);
      return {next, scan_result::kFound, std::nullopt};
    } catch (const CVNXException& exception) {
      if (!scan::Is(exception, ErrorCode::NoEcho)) return {0, scan_result::kEngineError, exception};
    }
    // The echo stopped at the next motor, still unaddressed with its echo off.
    link.settings.echo = false;
    n = next;
    scan::Progress(link, n);
    if (n >= most) return {0, scan_result::kNotFound, CVNXException(ErrorCode::NoLink)};
  }
}

}  // namespace

std::int32_t AddressChain(Chain chain, std::int32_t flags) {
  HostLink& link = *chain.link;
  if (link.settings.linkType != LinkType::RS232)
    return scan::ResultOrRaise(flags, scan_result::kNotFound, CVNXException(ErrorCode::InvalidData));
  scan::Forget(chain);
  if (!(flags & scan_flag::kNoRateSync)) {
    try {
      EstablishChain(link);
    } catch (const CVNXException& exception) {
      return scan::ResultOrRaise(flags, scan_result::kNotFound, exception);
    }
  }
  try {
    scan::Begin(link, scan_notification::kChainSetupBegins, link.settings.maxMotors);
    scan::Progress(link, 0);
    Count count;
    try {
      count = CountByAddressing(link, flags);
      if (!count.error) {
        scan::Progress(link, link.settings.maxMotors);
        scan::ToAll(link, "WAKE");
      }
    } catch (const CVNXException& exception) {
      count = {0, scan_result::kEngineError, exception};
    }
    if (count.error) {
      scan::End(link);
      return scan::ResultOrRaise(flags, count.result, *count.error);
    }
    for (std::int32_t address = 1; address <= count.motors; ++address) scan::Register(chain, address);
    scan::End(link);
    return scan_result::kFound;
  } catch (const scan::Cancelled&) {
    return scan_result::kCancelled;
  }
}

}  // namespace velkor::engine
