#include "sim/frontend/pseudo_terminal.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace velkor::sim {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

int FileDescriptor::Release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

int BaudOfSpeed(unsigned speed) {
  switch (speed) {
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;
  }
}

std::optional<PseudoTerminal> PseudoTerminal::Open(std::string& error) {
  PseudoTerminal terminal;
  terminal.master_ = FileDescriptor(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!terminal.master_.Valid() || ::grantpt(terminal.master_.Get()) != 0 ||
      ::unlockpt(terminal.master_.Get()) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    return std::nullopt;
  }
  char name[256];
  if (::ptsname_r(terminal.master_.Get(), name, sizeof name) != 0) {
    error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
    return std::nullopt;
  }
  terminal.path_ = name;
  terminal.kept_slave_ = FileDescriptor(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!terminal.kept_slave_.Valid()) {
    error = "cannot open " + terminal.path_ + ": " + std::strerror(errno);
    return std::nullopt;
  }
  // Raw from the start: the terminal's own echo and line editing would
  // otherwise answer for the motors before the host has set the port up.
  termios settings{};
  if (::tcgetattr(terminal.kept_slave_.Get(), &settings) == 0) {
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    settings.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(terminal.kept_slave_.Get(), TCSANOW, &settings);
  }
  // Without the watch the simulator still works; only a non-root host that
  // opens exclusively could not reopen the port.
  terminal.close_watch_ = FileDescriptor(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (terminal.close_watch_.Valid() &&
      ::inotify_add_watch(terminal.close_watch_.Get(), name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    terminal.close_watch_ = FileDescriptor();
  }
  return terminal;
}

void PseudoTerminal::AfterHostClosed() {
  char events[4096];
  while (close_watch_.Valid() && ::read(close_watch_.Get(), events, sizeof events) > 0) {
  }
  ::ioctl(kept_slave_.Get(), TIOCNXCL);
}

std::optional<LineFormat> PseudoTerminal::CurrentFormat() const {
  termios settings{};
  if (::tcgetattr(master_.Get(), &settings) != 0 && ::tcgetattr(kept_slave_.Get(), &settings) != 0) {
    return std::nullopt;
  }
  LineFormat format;
  format.baud = BaudOfSpeed(static_cast<unsigned>(::cfgetospeed(&settings)));
  // A Linux pseudo-terminal drops PARENB from whatever the host sets, so no
  // parity there means "not known", not "none".
  if ((settings.c_cflag & PARENB) == 0) {
    format.parity = '?';
  } else if ((settings.c_cflag & CMSPAR) != 0) {
    format.parity = (settings.c_cflag & PARODD) ? 'M' : 'S';
  } else {
    format.parity = (settings.c_cflag & PARODD) ? 'O' : 'E';
  }
  return format;
}

}  // namespace velkor::sim
