// Bringing the motors to one line rate: on an RS232 chain by walking the
// port through every rate, on an RS485 bus by telling the motors found at
// each rate to move to the wanted one.

#include <array>
#include <cstdio>

#include "engine/chain/chain.h"
#include "engine/chain/scan_steps.h"

namespace velkor::engine {

namespace {

constexpr char kParityLetters[] = {'N', 'O', 'E', 'I', 'I'};

char ParityLetter(const HostLink& link) { return kParityLetters[link.settings.parity < 5 ? link.settings.parity : 0]; }

// A motor listening at the rate in force before a step follows the port to
// the next one, so after a walk every reachable motor listens at the last.
constexpr std::array<std::int32_t, 5> kChainWalk{38400, 9600, 19200, 4800, 2400};
constexpr std::array<std::int32_t, 5> kBusRates{38400, 19200, 9600, 4800, 2400};

std::string Formatted(const char* format, auto... values) {
  char text[80];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// True when the chain echoes end to end: the echo of a wake command came
// back behind its address byte.
bool ChainEchoes(HostLink& link) {
  std::string line;
  if (!link.ReadLineNonBlocking(line)) return false;
  const std::size_t at = line.find("WAKE");
  return at != std::string::npos && at > 0;
}

void Synchronise(HostLink& link) {
  link.settings.echo = false;
  if (!link.IsOpen()) link.Open();
  std::string stale;
  while (link.ReadLineNonBlocking(stale)) {
  }
  for (std::int32_t pass = 0; pass < link.settings.maxMotors; ++pass) {
    for (std::int32_t rate : kChainWalk) {
      scan::ToAllUnselected(link, "WAKE");
      scan::ToAllUnselected(link, "WAKE");
      scan::ToAllUnselected(link, Formatted("BAUD%d", rate));
      link.Reopen(rate, -1);
    }
    // Each pass switches on the echo of one more motor that had it off.
    scan::ToAllUnselected(link, "WAKE");
    scan::ToAllUnselected(link, "WAKE");
    scan::ToAllUnselected(link, "ECHO");
    if (ChainEchoes(link)) break;
  }
  const std::int32_t chainRate = link.settings.chainBaudRate;
  scan::ToAllUnselected(link, Formatted("BAUD%d", chainRate));
  link.Reopen(chainRate, -1);
  scan::ToAllUnselected(link, Formatted("OCHN(RS2,0,%c,%d,1,8,C)", ParityLetter(link), chainRate));
  scan::Pause(scan::kSettle);
  link.ClearBuffer();
}

}  // namespace

void EstablishChain(HostLink& link) {
  const std::int32_t selected = link.CurrentAddress();
  try {
    Synchronise(link);
  } catch (...) {
    link.SetCurrentAddress(selected);
    throw;
  }
  link.settings.echo = true;
  try {
    scan::ToAllUnselected(link, "ECHO");
  } catch (const CVNXException& exception) {
    link.SetCurrentAddress(selected);
    if (scan::Is(exception, ErrorCode::NoEcho)) throw CVNXException(ErrorCode::NoLink);
    // Any other failure of this check leaves the chain as it is.
  }
  link.SetCurrentAddress(selected);
}

void BroadcastBusRate(HostLink& link) {
  const std::int32_t target = link.settings.baudRate;
  for (std::int32_t rate : kBusRates) {
    try {
      link.Reopen(rate, -1);
      scan::ToAll(link, scan::OnChannel(link, "WAKE"));
      scan::ToAll(link, scan::OnChannel(link, "WAKE"));
      scan::ToAll(link, scan::OnChannel(link, "ECHO_OFF"));
      scan::ToAll(link, "IFX");
      scan::ToAll(link, scan::OnChannel(link, "WAKE"));
      link.ChangeBaud(target);
    } catch (const CVNXException&) {
      // No motor at this rate, or none answering: try the next one.
    }
  }
  // A rate whose step failed early must not leave the port there.
  if (!link.IsOpen() || link.settings.baudRate != target) link.Reopen(target, -1);
}

}  // namespace velkor::engine
