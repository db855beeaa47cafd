#include "platform/files/descriptor.h"

#include <unistd.h>

namespace velkor::files {

Descriptor::~Descriptor() {
  if (fd_ >= 0) ::close(fd_);
}

bool Descriptor::Close() {
  const int fd = fd_;
  fd_ = -1;
  return fd >= 0 && ::close(fd) == 0;
}

}  // namespace velkor::files
