// IVNXComm: detection and address set-up.

#include <algorithm>
#include <optional>

#include "engine/chain/chain.h"
#include "engine/core/errors.h"
#include "engine/host/comm_guard.h"
#include "engine/host/host_object.h"
#include "velkor/bstr.h"

namespace velkor::engine {

namespace {

bool IsSerial(const HostLink& link) {
  return link.settings.linkType == LinkType::RS232 || link.settings.linkType == LinkType::RS485;
}

void RequireSerial(const HostLink& link) {
  if (!IsSerial(link)) throw CVNXException(ErrorCode::InvalidData);
}

// A closed port or a bad maximum address: the result, or the error when
// the flags ask for errors.
std::optional<LONG> RefusedScan(const HostLink& link, LONG flags, std::optional<LONG> maxAddress) {
  const bool raise = (flags & scan_flag::kRaise) != 0;
  if (!link.IsOpen()) {
    if (raise) throw CVNXException(ErrorCode::PortNotOpen);
    return scan_result::kPortClosed;
  }
  if (maxAddress && *maxAddress < 1) {
    if (raise) throw CVNXException(ErrorCode::InvalidData);
    return scan_result::kNotFound;
  }
  return std::nullopt;
}

// The minimum MaxMotors keeps after a serial-number set-up.
constexpr LONG kLeastMaxMotors = 10;

}  // namespace

HRESULT CVNXHost::EstablishChain() {
  return CommGuard::Do([&] {
    if (link_->settings.linkType != LinkType::RS232) throw CVNXException(ErrorCode::InvalidData);
    if (!link_->IsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
    engine::EstablishChain(*link_);
  });
}

HRESULT CVNXHost::AddressMotorChain(LONG* motorCount) {
  return CommGuard::Get(motorCount, [&] {
    if (!link_->IsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
    AddressChain(Chain{link_, motors_}, scan_flag::kRaise);
    return static_cast<LONG>(motors_.Size());
  });
}

HRESULT CVNXHost::DetectRS232(LONG maxAddress, LONG flags, LONG* errorCode) {
  return CommGuard::Get(errorCode, [&]() -> LONG {
    RequireSerial(*link_);
    if (auto refused = RefusedScan(*link_, flags, maxAddress)) return *refused;
    link_->settings.maxMotors = maxAddress;
    link_->settings.linkType = LinkType::RS232;
    const std::int32_t result = DetectChain(Chain{link_, motors_}, flags);
    constexpr std::int32_t kIncomplete = scan_result::kOthersAnswer | scan_result::kAboveMaximum |
                                         scan_result::kBadAnswer | scan_result::kNoneInRange;
    if ((flags & scan_flag::kThenAddress) && (result & kIncomplete) != 0) return AddressChain(Chain{link_, motors_}, flags);
    return result;
  });
}

HRESULT CVNXHost::DetectRS485(LONG maxAddress, LONG motorChannel, LONG flags, LONG* errorCode) {
  return CommGuard::Get(errorCode, [&]() -> LONG {
    RequireSerial(*link_);
    if (auto refused = RefusedScan(*link_, flags, maxAddress)) return *refused;
    link_->settings.maxMotors = maxAddress;
    link_->settings.rs485Channel = motorChannel;
    link_->settings.linkType = LinkType::RS485;
    return DetectBus(Chain{link_, motors_}, flags);
  });
}

HRESULT CVNXHost::AddressServos(LONG flags, LONG* errorCode) {
  return CommGuard::Get(errorCode, [&]() -> LONG {
    RequireSerial(*link_);
    if (auto refused = RefusedScan(*link_, flags, std::nullopt)) return *refused;
    link_->settings.rs485Channel = 0;
    link_->settings.linkType = LinkType::RS485;
    // The caller's flags are not passed on: the set-up always ends its programs.
    const std::int32_t result = AddressBySerialNumbers(Chain{link_, motors_}, scan_flag::kRaise);
    link_->settings.maxMotors = std::max(static_cast<LONG>(motors_.Size()), kLeastMaxMotors);
    return result;
  });
}

HRESULT CVNXHost::ReorderMotors(LONG address, BSTR serialNo, LONG* oldMotorAddress) {
  return CommGuard::Get(oldMotorAddress, [&]() -> LONG {
    return engine::ReorderMotors(Chain{link_, motors_}, address, BstrToUtf8(serialNo));
  });
}

}  // namespace velkor::engine
