// Serial-number address set-up on an RS485 bus. Every motor first takes
// 1 + (serial number mod 64); where two or more share an address, they move
// on by the next 5 bits of their serial numbers to 65..96, and a further
// pass gives each one found alone there the lowest free address. At the
// end the addresses are made compact, 1..N.

#include <array>
#include <charconv>
#include <optional>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/chain/chain.h"
#include "engine/chain/scan_steps.h"
#include "engine/motor/info_block.h"
#include "engine/motor/motor_memory.h"

namespace velkor::engine {

namespace {

constexpr std::int32_t kHighestDerived = 64;
constexpr std::int32_t kFirstSeparated = 65;
constexpr std::int32_t kLastSeparated = 96;
constexpr std::uint32_t kFirstDivisor = 64;
constexpr std::uint32_t kLastDivisor = 0x80000000u;  // no bits left to separate by

// Serial numbers above 2^31 are answered as negative numbers.
std::int32_t SerialOf(std::string_view answer) {
  std::int64_t value = 0;
  std::from_chars(answer.data(), answer.data() + answer.size(), value);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Firmware that holds back its answer while another motor's is on the bus,
// so that motors sharing an address can still be told apart.
bool CanBeSeparated(std::string_view version) { return version == "462" || version == "500"; }

class SerialAddressing {
 public:
  explicit SerialAddressing(Chain& chain) : chain_(chain), link_(*chain.link) {}

  // One address pass over first..last; false when it fails.
  bool Pass(std::int32_t first, std::int32_t last, std::uint32_t divisor);

 private:
  enum class Outcome { Empty, Clash, Registered, Fails };
  Outcome ProbeAddress(std::int32_t a, bool firstPass);
  Outcome Register(std::int32_t a, std::int32_t serial, bool firstPass);
  Outcome TellApart(std::int32_t a, std::string_view otherAnswer);
  bool Separate(std::int32_t clash, std::uint32_t divisor);
  void Compact();
  void Send(std::string_view text, std::int32_t address) { link_.SendCommand(text, address, true); }
  void EndConditional(std::int32_t a) {
    try {
      Send("IFX", a);
    } catch (const CVNXException&) {
    }
  }

  Chain& chain_;
  HostLink& link_;
  std::array<bool, kHighestDerived + 1> used_{};
  std::unordered_map<const MotorRecord*, std::int32_t> serials_;
};

bool SerialAddressing::Pass(std::int32_t first, std::int32_t last, std::uint32_t divisor) {
  const bool firstPass = first == 1;
  scan::Begin(link_, firstPass ? scan_notification::kScanBegins : scan_notification::kPassBegins, last - first + 1);
  scan::Progress(link_, 0);
  std::vector<std::int32_t> clashes;
  for (std::int32_t a = first; a <= last; ++a) {
    switch (ProbeAddress(a, firstPass)) {
      case Outcome::Fails:
        scan::End(link_);
        return false;
      case Outcome::Clash:
        clashes.push_back(a);
        [[fallthrough]];
      case Outcome::Empty:
        scan::Pause(scan::kSettle);
        link_.ClearBuffer();
        break;
      case Outcome::Registered:
        break;
    }
    scan::Progress(link_, a - first + 1);
  }
  scan::End(link_);
  if (!clashes.empty()) {
    if (divisor == kLastDivisor) return false;
    for (std::int32_t clash : clashes)
      if (!Separate(clash, divisor)) return false;
  }
  if (firstPass) Compact();
  return true;
}

SerialAddressing::Outcome SerialAddressing::ProbeAddress(std::int32_t a, bool firstPass) {
  link_.ClearBuffer();
  std::optional<std::string> answer;
  try {
    answer = scan::AskQuietly(link_, "Rdd", a, true);
  } catch (const CVNXException&) {
    return Outcome::Clash;  // answers on top of each other
  }
  if (!answer) return Outcome::Empty;
  if (!scan::IsDecimal(*answer)) return Outcome::Clash;
  const std::int32_t serial = SerialOf(*answer);
  try {
    Send("CMP dd==" + std::to_string(serial), a);
    link_.ClearBuffer();
    // Only a motor whose serial number differs answers.
    std::optional<std::string> other = scan::AskQuietly(link_, "IFF Rdd", a, true);
    if (!other) {
      Send("IFX", a);
      return Register(a, serial, firstPass);
    }
    return TellApart(a, *other);
  } catch (const CVNXException&) {
    EndConditional(a);
    return Outcome::Clash;
  }
}

SerialAddressing::Outcome SerialAddressing::Register(std::int32_t a, std::int32_t serial, bool firstPass) {
  std::int32_t x = a;
  if (!firstPass) {
    x = 0;
    for (std::int32_t free = 1; free <= kHighestDerived && x == 0; ++free)
      if (!used_[static_cast<std::size_t>(free)]) x = free;
    if (x == 0) return Outcome::Fails;
  }
  try {
    Send("ADDR=" + std::to_string(x), a);
  } catch (const CVNXException&) {
    // Put it back where it was, so that the next pass finds it again.
    try {
      Send("ADDR=" + std::to_string(a), x);
    } catch (const CVNXException&) {
    }
    return Outcome::Clash;
  }
  for (const auto& [motor, known] : serials_)
    if (known == serial) return Outcome::Fails;  // two motors that can never be told apart
  auto motor = scan::Register(chain_, x);
  serials_[motor.get()] = serial;
  used_[static_cast<std::size_t>(x)] = true;
  return Outcome::Registered;
}

SerialAddressing::Outcome SerialAddressing::TellApart(std::int32_t a, std::string_view otherAnswer) {
  if (!scan::IsDecimal(otherAnswer) || otherAnswer.front() == '-') {
    EndConditional(a);
    return Outcome::Clash;
  }
  Send("IFX", a);
  const std::string period = link_.SendCommandGetResponse("RSP", a, true);
  const std::size_t slash = period.find('/');
  if (slash == std::string::npos || slash < 5 || period.size() < 9) {
    EndConditional(a);
    return Outcome::Clash;
  }
  if (!CanBeSeparated(period.substr(6, 3))) return Outcome::Fails;
  Send("IFX", a);
  return Outcome::Clash;
}

bool SerialAddressing::Separate(std::int32_t clash, std::uint32_t divisor) {
  Send("IFX", clash);
  Send("ff=dd/" + std::to_string(divisor), clash);
  Send("ff=ff&31", clash);
  Send("ADDR=ff+65", clash);
  return Pass(kFirstSeparated, kLastSeparated, divisor * 32);
}

void SerialAddressing::Compact() {
  MotorList& motors = chain_.motors;
  const auto count = static_cast<std::int32_t>(motors.Size());
  const std::vector<std::shared_ptr<MotorRecord>> inOrder = motors.Records();
  for (const auto& motor : inOrder) {
    for (std::int32_t x = 1; x <= count; ++x) {
      if (used_[static_cast<std::size_t>(x)]) continue;
      Send("ADDR=" + std::to_string(x), motor->address);
      used_[static_cast<std::size_t>(motor->address)] = false;
      motors.Readdress(*motor, x);
      used_[static_cast<std::size_t>(x)] = true;
      break;
    }
  }
  for (std::int32_t x = 1; x <= count; ++x) {
    auto motor = motors.At(x);
    if (motor) motors.SwapPositions(static_cast<std::size_t>(motor->listPosition), static_cast<std::size_t>(x - 1));
  }
  for (const auto& motor : motors.Records())
    WriteMotorByte(*motor, motor_memory::kAssignedAddress, static_cast<std::uint8_t>(motor->address));
}

}  // namespace

std::int32_t AddressBySerialNumbers(Chain chain, std::int32_t flags) {
  HostLink& link = *chain.link;
  link.settings.echo = false;
  scan::Forget(chain);
  BroadcastBusRate(link);
  try {
    try {
      link.BytesAvailable();  // reads the line-error state, which is discarded
    } catch (const CVNXException&) {
    }
    link.ClearBuffer();
    scan::ToAll(link, scan::OnChannel(link, "ECHO_OFF"));
    scan::ToAll(link, scan::OnChannel(link, "WAKE"));
    scan::ToAll(link, "IFX");
    if (!(flags & scan_flag::kNoEnd)) scan::ToAll(link, "END");
    scan::ToAll(link, "EPTR=" + std::to_string(motor_memory::kSerialNumber));
    scan::ToAll(link, "VLD(dd,1)");
    scan::ToAll(link, "ff=dd&63");
    scan::ToAll(link, "ADDR=ff+1");
    SerialAddressing addressing(chain);
    if (!addressing.Pass(1, kHighestDerived, kFirstDivisor)) scan::Forget(chain);
  } catch (const CVNXException&) {
    scan::Forget(chain);
  } catch (const scan::Cancelled&) {
    // A cancelled set-up says so rather than passing for an empty bus.
    scan::Forget(chain);
    return scan_result::kCancelled;
  }
  return chain.motors.Empty() ? scan_result::kNotFound : scan_result::kFound;
}

}  // namespace velkor::engine
