#include "sim/frontend/usb_device_list.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <functional>

#include "sim/frontend/pseudo_terminal.h"

namespace velkor::sim {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Rewrites the file's lines in place under the lock; `edit` changes them.
// The whole file is written at once, so that a reader without the lock sees
// it before or after, in all likelihood.
bool EditLines(const std::filesystem::path& file, const std::function<void(std::vector<std::string>&)>& edit,
               std::string& error) {
  FileDescriptor fd;
  for (;;) {
    fd = FileDescriptor(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.Valid() || ::flock(fd.Get(), LOCK_EX) != 0) {
      error = "cannot open " + file.string() + ": " + std::strerror(errno);
      return false;
    }
    // Another simulator may have removed the file while this one waited for
    // the lock: then its lines would go into a file nobody can see.
    struct stat locked {}, named {};
    if (::fstat(fd.Get(), &locked) == 0 && ::stat(file.c_str(), &named) == 0 && locked.st_ino == named.st_ino &&
        locked.st_dev == named.st_dev) {
      break;
    }
  }
  std::string text;
  std::array<char, 4096> buffer;
  for (ssize_t n; (n = ::read(fd.Get(), buffer.data(), buffer.size())) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = "cannot read " + file.string() + ": " + std::strerror(errno);
      return false;
    }
    text.append(buffer.data(), static_cast<std::size_t>(n));
  }
  std::vector<std::string> lines = SplitLines(text);
  edit(lines);
  if (lines.empty()) {
    ::unlink(file.c_str());
    return true;
  }
  std::string joined;
  for (const std::string& line : lines) joined += line + "\n";
  if (::ftruncate(fd.Get(), 0) != 0 || ::lseek(fd.Get(), 0, SEEK_SET) != 0 || !WriteAll(fd.Get(), joined)) {
    error = "cannot write " + file.string() + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

std::string UsbDeviceLine(const UsbDevice& device) {
  return device.description + "\t" + device.serial + "\t" + device.path;
}

bool UsbDeviceList::Publish(const std::filesystem::path& file, const std::vector<UsbDevice>& devices,
                            std::string& error) {
  std::vector<std::string> lines;
  for (const UsbDevice& device : devices) lines.push_back(UsbDeviceLine(device));
  auto append = [&](std::vector<std::string>& all) { all.insert(all.end(), lines.begin(), lines.end()); };
  // The default list's folder may not be there yet; it is the user's own.
  std::error_code ignored;
  if (file.has_parent_path() && std::filesystem::create_directories(file.parent_path(), ignored))
    std::filesystem::permissions(file.parent_path(), std::filesystem::perms::owner_all, ignored);
  bool written = EditLines(file, append, error);
  if (written) {
    file_ = file;
    lines_ = std::move(lines);
  }
  return written;
}

UsbDeviceList::~UsbDeviceList() {
  if (file_.empty()) return;
  std::string ignored;
  EditLines(file_, [&](std::vector<std::string>& all) {
    // Only our own lines go; a device path is never another simulator's.
    std::erase_if(all, [&](const std::string& line) {
      return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
    });
  }, ignored);
}

}  // namespace velkor::sim
