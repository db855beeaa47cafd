#pragma once
// Detection and address set-up of the motors on a serial link: bringing the
// motors to one line rate, giving them addresses (in chain order on an RS232
// daisy chain, from their serial numbers on an RS485 bus), finding which
// addresses answer, and keeping the motor list and address table.
//
// The scans report through bit-coded results rather than exceptions unless
// their flags ask for exceptions; they run on the caller's thread and send
// their progress to the link's notification window, whose answer 0 cancels.

#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/link/host_link.h"
#include "engine/motor/motor_list.h"

namespace velkor::engine {

namespace scan_result {
inline constexpr std::int32_t kFound = 1;          // and no other motor answers
inline constexpr std::int32_t kOthersAnswer = 2;   // someone answers even above MaxMotors
inline constexpr std::int32_t kAboveMaximum = 4;   // someone answers above MaxMotors only
inline constexpr std::int32_t kBadAnswer = 8;      // an unusable answer or a line/echo error
inline constexpr std::int32_t kNoneInRange = 16;   // none at 1..MaxMotors, yet someone answers
inline constexpr std::int32_t kEngineError = 32;
inline constexpr std::int32_t kNotFound = 64;      // none found, wrong link or bad MaxAddress
inline constexpr std::int32_t kNetworkFailure = 128;
inline constexpr std::int32_t kNotUsb = 256;
inline constexpr std::int32_t kPortClosed = 0x10000;
inline constexpr std::int32_t kCancelled = 0x40000;
}  // namespace scan_result

namespace scan_flag {
inline constexpr std::int32_t kRaise = 0x100000;          // raise the engine error instead
inline constexpr std::int32_t kThenAddress = 0x400000;    // RS232 detection: address the chain on 2, 4, 8, 16
inline constexpr std::int32_t kNoEnd = 0x4000000;         // leave a running program alone
inline constexpr std::int32_t kNoRateSync = 0x8000000;    // chain set-up: the rate is known to be right
}  // namespace scan_flag

// Notification codes of the scans.
namespace scan_notification {
inline constexpr std::uint32_t kStep = 2;
inline constexpr std::uint32_t kEnd = 3;
inline constexpr std::uint32_t kChainSetupBegins = 5;
inline constexpr std::uint32_t kScanBegins = 6;
inline constexpr std::uint32_t kPassBegins = 7;
}  // namespace scan_notification

// The link and the motor list a scan fills. The host object owns both.
struct Chain {
  std::shared_ptr<HostLink> link;
  MotorList& motors;
};

// Brings every reachable motor of an RS232 chain to ChainBaudRate with echo
// on. Error 4 when the chain does not echo end to end afterwards.
void EstablishChain(HostLink& link);

// Gives the motors of an RS232 chain addresses 1..N in wiring order.
std::int32_t AddressChain(Chain chain, std::int32_t flags);

// Probes addresses 1..MaxMotors of an RS232 chain, and a motor parked at 114.
std::int32_t DetectChain(Chain chain, std::int32_t flags);

// Tries every rate on an RS485 bus and tells the motors found at each to
// move to the link's BaudRate.
void BroadcastBusRate(HostLink& link);

// Probes addresses 1..MaxMotors of an RS485 bus, and a motor parked at 114.
std::int32_t DetectBus(Chain chain, std::int32_t flags);

// Gives every motor of an RS485 bus an address from its serial number,
// separating clashes by further bits of it, then compacts them to 1..N.
std::int32_t AddressBySerialNumbers(Chain chain, std::int32_t flags);

// Moves the motor with serial-number text `serialNumber` to `address`,
// exchanging with a motor already there: -1 when no motor has that serial
// number, `address` when it is there already, 0 when the address was free,
// else the motor's old address (where the other motor went).
std::int32_t ReorderMotors(Chain chain, std::int32_t address, std::string_view serialNumber);

}  // namespace velkor::engine
