#pragma once
// A pseudo-terminal pair for tests: the test keeps the master and opens the
// slave by path through the serial layer, as a simulated motor line would.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace velkor::serial::testing {

class PtyPair {
 public:
  PtyPair() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
      if (const char* name = ::ptsname(master_)) slavePath_ = name;
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0 && !slavePath_.empty(); }
  int master() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  bool WriteMaster(const std::vector<std::uint8_t>& bytes) const {
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

  // Whatever the slave side sent, up to `count` bytes or until `limit` passes.
  std::vector<std::uint8_t> ReadMaster(std::size_t count, std::chrono::milliseconds limit) const {
    std::vector<std::uint8_t> bytes(count);
    std::size_t got = 0;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (got < count) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      pollfd watch{master_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&watch, 1, static_cast<int>(left.count())) <= 0) break;
      const ssize_t n = ::read(master_, bytes.data() + got, count - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
  }

 private:
  int master_;
  std::string slavePath_;
};

}  // namespace velkor::serial::testing
