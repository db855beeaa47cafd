#pragma once
// The engine's record of one motor, and the motor-level operations that the
// motor object, memory access and program transfer build on.
//
// A record refers to its host link weakly: the host object owns the link,
// and a record outlives neither the link nor the motor list that made it
// without noticing. Once detached (a new detection cleared the list, or the
// host is gone) every operation fails with "Invalid Data!" instead of
// reaching a link that no longer exists.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/link/host_link.h"
#include "engine/link/net_connection.h"
#include "engine/link/usb_port.h"

namespace velkor::engine {

class MotorRecord {
 public:
  MotorRecord(std::int32_t address, std::weak_ptr<HostLink> link) : address(address), link_(std::move(link)) {}

  std::int32_t listPosition = -1;  // kept by the motor list
  std::int32_t address = 0;        // 0: all motors
  std::string firmwareVersion;     // cached after the first "RSP"
  bool hasEeprom = true;           // cleared only when a write-back check fails
  double sampleRate = 0.0;         // Hz, cached with the version; 0 = unknown
  std::optional<std::vector<std::uint8_t>> infoBlock;  // cached information block
  std::uint16_t infoBlockLength = 0;
  std::int32_t savedBaudRate = 0;  // rate to restore after a download
  // The motor's own connection on a network link, or its adapter on a USB
  // link; the motor list closes it when it lets the record go.
  std::unique_ptr<NetConnection> netConnection;
  std::unique_ptr<UsbPort> usbPort;

  // The host link; error 19 when the record has been detached from it.
  std::shared_ptr<HostLink> Link() const;
  bool HasLink() const { return !link_.expired(); }
  void Detach() { link_.reset(); }

  // With the addressing rule: no address byte while this motor is the
  // link's current one, else this motor's address without selecting it.
  void MotorSendCommand(std::string_view text);
  // As MotorSendCommand, then the answer line; a missing answer names this
  // motor in the error.
  std::string MotorGetResponse(std::string_view text);
  void MotorWriteBytes(std::string_view bytes);
  // Drops what this motor's connection (or the port) has received so far.
  void MotorClearBuffer();
  std::string MotorReadLine(std::size_t max, std::int32_t timeout);
  std::string MotorReadBytes(std::size_t max, std::int32_t timeout);
  bool MotorIsOpen() const;

  // The answer to a command sent with the addressing rule, errors as the
  // link raises them.
  std::string Ask(std::string_view text);
  // Without an address byte: to the motor the previous command selected.
  void SendUnaddressed(std::string_view text);
  std::string AskUnaddressed(std::string_view text);

  // The firmware version and sample rate read again ("RSP"): both caches
  // are cleared first, the link is opened when closed, and an answer
  // without '/' leaves them cleared.
  void ReadVersion();

 private:
  // This motor's own network connection or USB adapter, open: error 8
  // otherwise.
  NetConnection& OpenConnection() const;
  UsbPort& OpenUsbPort() const;
  // A command to this motor alone on a network or USB link, with an answer
  // line when asked.
  std::string OwnLinkCommand(HostLink& link, std::string_view text, bool answer) const;
  // The address argument and select flag of the addressing rule.
  struct Addressing {
    std::int32_t address;
    bool select;
  };
  Addressing AddressingOn(const HostLink& link) const;

  std::weak_ptr<HostLink> link_;
};

// The version text and sample rate of an "RSP" answer ("period/version",
// the period in units of 10 ns). An answer without '/' is the version as a
// whole, its leading number the period. A period that is not positive gives
// the rate 0 (unknown) rather than a division by zero.
struct SamplePeriodAnswer {
  std::string version;
  double sampleRate = 0.0;
  bool hadSlash = false;
};
SamplePeriodAnswer ParseSamplePeriodAnswer(std::string_view answer);

}  // namespace velkor::engine
