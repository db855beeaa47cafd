// Opening, closing and configuring a port on Linux (termios and the serial
// driver's ioctls). Reading and writing live in posix_io.cpp.

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/serial/serial_port.h"
#include "platform/serial/termios_settings.h"

namespace velkor::serial {
namespace {

// The device has no such control, as a pseudo-terminal has no modem lines.
bool Unsupported(int error) { return error == ENOTTY || error == EINVAL || error == EOPNOTSUPP; }

int ReadCounters(int fd, ErrorCounters& out) {
  serial_icounter_struct counts{};
  if (::ioctl(fd, TIOCGICOUNT, &counts) != 0) return errno;
  out.framing = static_cast<std::uint32_t>(counts.frame);
  out.parity = static_cast<std::uint32_t>(counts.parity);
  out.overrun = static_cast<std::uint32_t>(counts.overrun);
  out.breaks = static_cast<std::uint32_t>(counts.brk);
  out.receiveOverflow = static_cast<std::uint32_t>(counts.buf_overrun);
  return 0;
}

// USB adapters otherwise hold received bytes for their latency timer (16 ms),
// which would stall every echo check. Devices without the setting are fine.
void RequestLowLatency(int fd) {
  serial_struct info{};
  if (::ioctl(fd, TIOCGSERIAL, &info) != 0) return;
  if (info.flags & ASYNC_LOW_LATENCY) return;
  info.flags |= ASYNC_LOW_LATENCY;
  (void)::ioctl(fd, TIOCSSERIAL, &info);
}

int SetModemLine(int fd, int line, bool on) {
  if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return 0;
  return Unsupported(errno) ? 0 : errno;
}

}  // namespace

SerialPort::~SerialPort() { Close(); }

SerialPort::SerialPort(SerialPort&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      timeouts_(other.timeouts_),
      counters_(other.counters_),
      hasCounters_(other.hasCounters_),
      exclusive_(std::exchange(other.exclusive_, false)),
      dtrOn_(other.dtrOn_),
      rtsOn_(other.rtsOn_) {}

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    timeouts_ = other.timeouts_;
    counters_ = other.counters_;
    hasCounters_ = other.hasCounters_;
    exclusive_ = std::exchange(other.exclusive_, false);
    dtrOn_ = other.dtrOn_;
    rtsOn_ = other.rtsOn_;
  }
  return *this;
}

Result<SerialPort> SerialPort::Open(std::string_view name) {
  auto path = ResolvePortName(name);
  if (!path.ok()) return Result<SerialPort>::Failure(path.error);

  const int fd = ::open(path.value.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Result<SerialPort>::Failure(errno);
  SerialPort port(fd);  // closes the descriptor on every failure below

  termios attributes{};
  if (::tcgetattr(fd, &attributes) != 0) return Result<SerialPort>::Failure(errno);
  // TIOCEXCL does not stop root, so the lock is what keeps a second opener
  // out; TIOCEXCL adds the kernel's own refusal for everybody else.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    return Result<SerialPort>::Failure(errno == EWOULDBLOCK ? EBUSY : errno);
  if (::ioctl(fd, TIOCEXCL) != 0) return Result<SerialPort>::Failure(errno);
  port.exclusive_ = true;

  RequestLowLatency(fd);
  detail::MakeRaw(attributes);
  if (::tcsetattr(fd, TCSANOW, &attributes) != 0) return Result<SerialPort>::Failure(errno);
  // Errors counted before this open belong to somebody else.
  port.hasCounters_ = ReadCounters(fd, port.counters_) == 0;
  return Result<SerialPort>{std::move(port), 0};
}

void SerialPort::Close() {
  if (fd_ < 0) return;
  // The exclusive flag belongs to the terminal, not to this descriptor: left
  // set, it would lock out the next opener while another descriptor (the
  // simulator's, say) keeps the terminal alive.
  if (exclusive_) (void)::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  exclusive_ = false;
  hasCounters_ = false;
}

Result<LineSettings> SerialPort::GetLineSettings() const {
  if (fd_ < 0) return Result<LineSettings>::Failure(EBADF);
  termios attributes{};
  if (::tcgetattr(fd_, &attributes) != 0) return Result<LineSettings>::Failure(errno);
  LineSettings base;
  base.dtrOn = dtrOn_;
  base.rtsOn = rtsOn_;
  LineSettings settings = detail::DecodeLineSettings(attributes, base);
  int lines = 0;
  if (::ioctl(fd_, TIOCMGET, &lines) == 0) {
    settings.dtrOn = (lines & TIOCM_DTR) != 0;
    settings.rtsOn = (lines & TIOCM_RTS) != 0;
  }
  return Result<LineSettings>{settings, 0};
}

Status SerialPort::SetLineSettings(const LineSettings& settings) {
  if (fd_ < 0) return {EBADF};
  if (const int refused = detail::CheckLineSettings(settings)) return {refused};
  termios attributes{};
  if (::tcgetattr(fd_, &attributes) != 0) return {errno};
  detail::EncodeLineSettings(settings, attributes);
  if (::tcsetattr(fd_, TCSANOW, &attributes) != 0) return {errno};

  // tcsetattr succeeds when any part of the change took. The rate is the part
  // a driver may refuse and the one the motors cannot do without; framing is
  // not checked because a pseudo-terminal always reports 8N.
  termios applied{};
  if (::tcgetattr(fd_, &applied) != 0) return {errno};
  if (cfgetospeed(&applied) != *detail::SpeedOf(settings.baudRate)) return {EINVAL};

  if (const int failed = SetModemLine(fd_, TIOCM_DTR, settings.dtrOn)) return {failed};
  if (!settings.rtsCtsFlow)
    if (const int failed = SetModemLine(fd_, TIOCM_RTS, settings.rtsOn)) return {failed};
  dtrOn_ = settings.dtrOn;
  rtsOn_ = settings.rtsOn;
  return {};
}

Status SerialPort::SetQueueSizes(std::uint32_t, std::uint32_t) {
  if (fd_ < 0) return {EBADF};
  return {};
}

Status SerialPort::SetTimeouts(const Timeouts& timeouts) {
  if (fd_ < 0) return {EBADF};
  timeouts_ = timeouts;
  return {};
}

Result<std::size_t> SerialPort::BytesWaiting() const {
  if (fd_ < 0) return Result<std::size_t>::Failure(EBADF);
  int waiting = 0;
  if (::ioctl(fd_, FIONREAD, &waiting) != 0) return Result<std::size_t>::Failure(errno);
  return Result<std::size_t>{static_cast<std::size_t>(waiting < 0 ? 0 : waiting), 0};
}

Status SerialPort::Purge(unsigned purgeFlags) {
  if (fd_ < 0) return {EBADF};
  if (purgeFlags & ~static_cast<unsigned>(kPurgeReceive | kPurgeSend)) return {EINVAL};
  const bool receive = purgeFlags & kPurgeReceive;
  const bool send = purgeFlags & kPurgeSend;
  if (!receive && !send) return {};
  const int queue = receive && send ? TCIOFLUSH : receive ? TCIFLUSH : TCOFLUSH;
  if (::tcflush(fd_, queue) != 0) return {errno};
  return {};
}

Result<LineErrors> SerialPort::TakeLineErrors() {
  if (fd_ < 0) return Result<LineErrors>::Failure(EBADF);
  LineErrors errors;
  pollfd state{fd_, POLLIN, 0};
  if (::poll(&state, 1, 0) > 0 && (state.revents & (POLLHUP | POLLERR | POLLNVAL))) errors.ioError = true;
  if (hasCounters_) {
    ErrorCounters now;
    const int failed = ReadCounters(fd_, now);
    if (failed == 0) {
      errors.framing = now.framing != counters_.framing;
      errors.parity = now.parity != counters_.parity;
      errors.overrun = now.overrun != counters_.overrun;
      errors.breakDetected = now.breaks != counters_.breaks;
      errors.receiveOverflow = now.receiveOverflow != counters_.receiveOverflow;
      counters_ = now;
    } else if (!Unsupported(failed)) {
      errors.ioError = true;
    }
  }
  return Result<LineErrors>{errors, 0};
}

}  // namespace velkor::serial
