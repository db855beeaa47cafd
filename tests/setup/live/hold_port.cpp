// hold-port DEVICE: another program that has a serial port, as a terminal
// program would: open, locked and exclusive until its standard input ends.
// It says "held" on its standard output once it has the port.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const int fd = ::open(argv[1], O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::puts("held");
  std::fflush(stdout);
  char byte = 0;
  while (::read(STDIN_FILENO, &byte, 1) > 0) {
  }
  // The mark belongs to the terminal, which the simulator keeps alive.
  ::ioctl(fd, TIOCNXCL);
  ::close(fd);
  return 0;
}
