// Reads and writes under the platform's time-outs. The descriptor is
// non-blocking and raw with VMIN = VTIME = 0, so read(2) returns at once and
// every wait is a poll(2) bounded by the deadlines of the transfer.

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/serial/deadline.h"
#include "platform/serial/serial_port.h"
#include "platform/serial/timeout_plan.h"

namespace velkor::serial {
namespace {

enum class Readiness { Ready, TimedOut, HungUp, Failed };

// Waits for `events` until the deadline. A hang-up wins over readiness: a
// hung-up terminal stays "readable" while giving no data, which would make the
// caller spin; the caller reads once more to collect what is still queued.
Readiness WaitFor(int fd, short events, const Deadline& deadline, int& error) {
  for (;;) {
    pollfd watch{fd, events, 0};
    const int result = ::poll(&watch, 1, deadline.PollMilliseconds());
    if (result < 0) {
      if (errno == EINTR) continue;
      error = errno;
      return Readiness::Failed;
    }
    if (result == 0) return Readiness::TimedOut;
    if (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) return Readiness::HungUp;
    if (watch.revents & events) return Readiness::Ready;
  }
}

// Bytes already transferred are the result even when the device then fails:
// they must not be lost, and the next call reports the failure.
Result<std::size_t> Outcome(std::size_t done, int error) {
  if (done > 0 || error == 0) return Result<std::size_t>{done, 0};
  return Result<std::size_t>::Failure(error);
}

}  // namespace

Result<std::size_t> SerialPort::Read(std::span<std::uint8_t> buffer) {
  if (fd_ < 0) return Result<std::size_t>::Failure(EBADF);
  const std::size_t wanted = buffer.size();
  if (wanted == 0) return Result<std::size_t>{0, 0};

  const ReadPlan plan = PlanRead(timeouts_, wanted);
  const Deadline total = plan.total ? Deadline::After(*plan.total) : Deadline::Never();
  Deadline gap = Deadline::Never();  // starts with the first byte
  std::size_t got = 0;
  bool hungUp = false;

  for (;;) {
    const ssize_t count = ::read(fd_, buffer.data() + got, wanted - got);
    if (count > 0) {
      got += static_cast<std::size_t>(count);
      if (got == wanted || plan.endOnFirstData) return Outcome(got, 0);
      if (plan.interval) gap = Deadline::After(*plan.interval);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Outcome(got, errno);
    // Nothing waiting.
    if (plan.immediate) return Outcome(got, 0);
    if (hungUp) return Outcome(got, EIO);

    const auto now = Deadline::Clock::now();
    const Deadline& next = got > 0 ? Deadline::Earlier(total, gap, now) : total;
    if (next.expired(now)) return Outcome(got, 0);
    int error = 0;
    switch (WaitFor(fd_, POLLIN, next, error)) {
      case Readiness::Ready: break;
      case Readiness::TimedOut: break;  // the next pass sees the deadline
      case Readiness::HungUp: hungUp = true; break;  // one more read for what is left
      case Readiness::Failed: return Outcome(got, error);
    }
  }
}

Result<std::size_t> SerialPort::Write(std::span<const std::uint8_t> bytes) {
  if (fd_ < 0) return Result<std::size_t>::Failure(EBADF);
  const std::size_t total = bytes.size();
  if (total == 0) return Result<std::size_t>{0, 0};

  const auto limit = WriteLimit(timeouts_, total);
  const Deadline deadline = limit ? Deadline::After(*limit) : Deadline::Never();
  std::size_t written = 0;
  bool hungUp = false;

  for (;;) {
    const ssize_t count = ::write(fd_, bytes.data() + written, total - written);
    if (count > 0) {
      written += static_cast<std::size_t>(count);
      if (written == total) return Outcome(written, 0);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Outcome(written, errno);
    if (hungUp) return Outcome(written, EIO);

    if (deadline.expired()) return Outcome(written, 0);
    int error = 0;
    switch (WaitFor(fd_, POLLOUT, deadline, error)) {
      case Readiness::Ready: break;
      case Readiness::TimedOut: break;
      case Readiness::HungUp: hungUp = true; break;
      case Readiness::Failed: return Outcome(written, error);
    }
  }
}

}  // namespace velkor::serial
