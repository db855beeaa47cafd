#pragma once
// One pseudo-terminal pair standing in for a serial port. The master side is
// the line; one slave descriptor is kept open (and never read) so that the
// pair and its settings survive the host closing and reopening the port.

#include <optional>
#include <string>

#include "sim/firmware/firmware.h"

namespace velkor::sim {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor();

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release();

 private:
  int fd_ = -1;
};

class PseudoTerminal {
 public:
  // Nothing (and a reason in `error`) when the system has no pair to give.
  static std::optional<PseudoTerminal> Open(std::string& error);

  int Master() const { return master_.Get(); }
  // Readable when a host has closed the device (inotify); see AfterHostClosed.
  int CloseWatch() const { return close_watch_.Get(); }
  // A host that opened the port exclusively leaves that mark on the pair when
  // it closes, because the kept descriptor holds the pair open; a non-root
  // host could then never open it again. Clears the mark once the host is gone.
  void AfterHostClosed();
  const std::string& DevicePath() const { return path_; }
  // The settings the host last gave the port; nothing if they cannot be read.
  std::optional<LineFormat> CurrentFormat() const;

 private:
  FileDescriptor master_;
  FileDescriptor kept_slave_;
  FileDescriptor close_watch_;
  std::string path_;
};

// Rate in bits per second of a termios speed code; 0 when unknown.
int BaudOfSpeed(unsigned speed);

}  // namespace velkor::sim
