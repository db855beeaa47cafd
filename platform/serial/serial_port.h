#pragma once
// Serial ports with the roles the host link needs from the platform's COM
// port API: open by name (exclusive), line settings, the five read/write
// time-outs, read, write, bytes waiting, purge and the line-error report.
//
// Nothing here throws or prints. Every failure is a result carrying an errno
// number; the ones this layer produces itself are
//   EBADF   the port object is not open
//   EINVAL  a setting the layer refuses (rate, data bits, parity, stop bits)
//   ENOENT  the name resolves to no device
//   EBUSY   the port is already open (here or in another process)
//   ENOTTY  the device is not a terminal
//   EIO     the device went away (hang-up)
// and any other number is the operating system's own answer.
//
// The descriptor is kept non-blocking; all waiting is done by this layer
// under the time-outs set with SetTimeouts.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkor::serial {

// Success, or the errno number of a failure.
struct Status {
  int error = 0;
  bool ok() const { return error == 0; }
};

template <class T>
struct Result {
  T value{};
  int error = 0;
  bool ok() const { return error == 0; }
  static Result Failure(int error) { return Result{T{}, error}; }
};

enum class Parity : std::uint8_t { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };

// Stop-bit codes as the platform's serial driver numbers them. One and a half
// stop bits do not exist here and are sent as two.
inline constexpr std::uint8_t kOneStopBit = 0;
inline constexpr std::uint8_t kOneAndHalfStopBits = 1;
inline constexpr std::uint8_t kTwoStopBits = 2;

struct LineSettings {
  std::uint32_t baudRate = 9600;  // a standard rate from 300 to 921600
  std::uint8_t dataBits = 8;      // 5..8
  Parity parity = Parity::None;
  std::uint8_t stopBits = kOneStopBit;
  bool parityCheck = true;   // check parity of received characters
  bool rtsCtsFlow = false;   // hardware handshake
  bool xonXoffFlow = false;  // software handshake, both directions
  bool dtrOn = true;         // modem lines, where the device has them
  bool rtsOn = true;
  bool operator==(const LineSettings&) const = default;
};

// The platform's five time-outs, in milliseconds. A read of n bytes may take
// readMultiplier * n + readConstant ms in all (both 0: no limit), and ends
// early when readInterval ms pass between two bytes after the first (0: not
// used). readInterval = kNoWait with both read totals 0 returns at once with
// what is waiting. Writes likewise; a write that runs out of time returns the
// count it placed.
struct Timeouts {
  std::uint32_t readInterval = 0;
  std::uint32_t readMultiplier = 0;
  std::uint32_t readConstant = 0;
  std::uint32_t writeMultiplier = 0;
  std::uint32_t writeConstant = 0;
  bool operator==(const Timeouts&) const = default;
};
inline constexpr std::uint32_t kNoWait = 0xFFFFFFFFu;

// What went wrong on the line since the previous report.
struct LineErrors {
  bool framing = false;
  bool parity = false;
  bool overrun = false;          // the receiver lost a character
  bool breakDetected = false;
  bool receiveOverflow = false;  // the receive queue was full
  bool ioError = false;          // the device hung up or failed
  bool outputFull = false;       // no driver here reports it; kept for the shape
  bool any() const {
    return framing || parity || overrun || breakDetected || receiveOverflow || ioError || outputFull;
  }
  bool operator==(const LineErrors&) const = default;
};

enum PurgeFlags : unsigned { kPurgeReceive = 1u, kPurgeSend = 2u };

// The driver's error counters, kept to report what changed since last time.
struct ErrorCounters {
  std::uint32_t framing = 0;
  std::uint32_t parity = 0;
  std::uint32_t overrun = 0;
  std::uint32_t breaks = 0;
  std::uint32_t receiveOverflow = 0;
};

class SerialPort {
 public:
  SerialPort() = default;
  ~SerialPort();
  SerialPort(SerialPort&& other) noexcept;
  SerialPort& operator=(SerialPort&& other) noexcept;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the port a name resolves to (see ResolvePortName): read/write,
  // exclusive, raw 8-bit mode, low latency where the driver offers it.
  static Result<SerialPort> Open(std::string_view name);

  bool IsOpen() const { return fd_ >= 0; }
  int NativeHandle() const { return fd_; }  // -1 when closed
  void Close();

  Result<LineSettings> GetLineSettings() const;
  Status SetLineSettings(const LineSettings& settings);
  // The platform sizes the driver's queues; the queues here are the kernel's.
  Status SetQueueSizes(std::uint32_t receiveBytes, std::uint32_t sendBytes);
  Status SetTimeouts(const Timeouts& timeouts);
  const Timeouts& GetTimeouts() const { return timeouts_; }

  Result<std::size_t> Read(std::span<std::uint8_t> buffer);
  Result<std::size_t> Write(std::span<const std::uint8_t> bytes);
  Result<std::size_t> BytesWaiting() const;
  Status Purge(unsigned purgeFlags);
  // Reports and forgets the errors since the previous call.
  Result<LineErrors> TakeLineErrors();

 private:
  explicit SerialPort(int fd) : fd_(fd) {}
  int fd_ = -1;
  Timeouts timeouts_{};
  ErrorCounters counters_{};
  bool hasCounters_ = false;
  bool exclusive_ = false;  // this object set TIOCEXCL and must clear it
  bool dtrOn_ = true;  // what was asked, for devices without modem lines
  bool rtsOn_ = true;
};

// Device path for a port name: "/..." is a path; a leading "\\.\" is removed
// first; "COMn" (any case, n >= 1) is the value COMn of the Ports key, the
// user's hive first, else /dev/ttyS(n-1). Anything else → ENOENT.
Result<std::string> ResolvePortName(std::string_view name);

struct PortEntry {
  std::string name;        // what to pass to Open
  std::string devicePath;  // where it leads
};
// The ports present: the Ports key's entries, then the serial device nodes
// (/dev/ttyS*, /dev/ttyUSB*, /dev/ttyACM*) that no entry already names.
std::vector<PortEntry> ListPorts();

}  // namespace velkor::serial
