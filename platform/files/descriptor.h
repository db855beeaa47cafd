#pragma once
// A POSIX file descriptor that is closed on every way out.

namespace velkor::files {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor();
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

  // Closes now, for callers that must know whether the close succeeded (a
  // failed close can be the first sign of a failed write).
  bool Close();

 private:
  int fd_;
};

}  // namespace velkor::files
