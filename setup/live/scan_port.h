#pragma once
// One port of a motor scan, run on a thread of its own with a host object of
// its own: the probe, then the identity of each motor that answered.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "setup/live/port_candidates.h"
#include "setup/live/scan.h"

namespace velkor::setup {

struct PortScan {
  ComPtr<IVNXComm> host;  // kept only when motors answered
  std::vector<FoundMotor> motors;
  bool denied = false;  // the port refused this user
};

// The chain on the port addressed, with the line settings of a scan, at
// `rate` (nothing: the engine's own, 9600); null, with a count of 0, when
// nothing answered. `opened` tells whether the port opened at all.
ComPtr<IVNXComm> ProbeChain(const PortCandidate& port, LONG& count, bool& opened, std::optional<LONG> rate = {});

// `notice` shows a progress line; it is called from this port's thread.
PortScan ScanPort(const PortCandidate& port, Clock& clock, const std::function<void(const std::string&)>& notice);

}  // namespace velkor::setup
