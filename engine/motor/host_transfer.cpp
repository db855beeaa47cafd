#include "engine/motor/host_transfer.h"

#include <string>

#include "engine/motor/program_image.h"
#include "engine/motor/transfer_steps.h"
#include "engine/motor/upload_target.h"
#include "platform/files/whole_file.h"

namespace velkor::engine::transfer {
namespace {

constexpr std::int32_t kChecksumAnswerTimeout = 8000;
enum NotificationCode : std::uint32_t { kStart = 1, kProgress = 2, kEnd = 3 };

void PrepareHostLoad(HostLink& link, std::int32_t motor) {
  if (motor > 0) {
    link.SendCommand(SleepCommand(link), 0, false);
    link.SendCommand(WakeCommand(link), motor, false);
  }
  link.SendCommand("END", motor, false);
  link.SendCommand("LOAD", kKeepAddress, false);
}

// The empty program, without probing first (the download has probed).
void LoadHostEmptyProgram(HostLink& link, std::int32_t motor) {
  try {
    PrepareHostLoad(link, motor);
    link.WriteChunked(BuiltIn(BuiltInImage::HostEmptyProgram));
  } catch (const CVNXException&) {
    Quietly([&] { WakeAll(link); });
    throw;
  }
  Quietly([&] { WakeAll(link); });
}

bool IsNoResponse(const CVNXException& failure) {
  return failure.Code() == static_cast<std::uint32_t>(ErrorCode::NoResponse);
}

// The answer time-out raised for one exchange and put back afterwards.
class LongerTimeout {
 public:
  LongerTimeout(HostLink& link, std::int32_t timeout) : link_(link), saved_(link.settings.timeout) {
    link.settings.timeout = timeout;
  }
  ~LongerTimeout() { link_.settings.timeout = saved_; }
  LongerTimeout(const LongerTimeout&) = delete;
  LongerTimeout& operator=(const LongerTimeout&) = delete;

 private:
  HostLink& link_;
  std::int32_t saved_;
};

void SendImageChunked(HostLink& link, std::int32_t motor, const std::string& image) {
  // The host-level clean-up sends no notifications: nothing can cancel it.
  const auto cancelled = [&](std::string_view ending) {
    EndLoad(link, ending);
    LoadHostEmptyProgram(link, motor);
  };
  if (link.Notify(kStart, static_cast<std::intptr_t>(image.size())) == 0) {
    cancelled(kImageTerminator);
    return;
  }
  try {
    std::size_t sent = 0;
    while (image.size() - sent > 8) {
      link.WriteChunked(std::string_view(image).substr(sent, 8));
      sent += 8;
      if (link.Notify(kProgress, static_cast<std::intptr_t>(sent)) == 0) {
        cancelled(kAbortSequence);
        return;
      }
    }
    link.WriteChunked(std::string_view(image).substr(sent));
    link.WriteChunked(kImageTerminator);
  } catch (const CVNXException&) {
    // Ends the motor's load first, so that the clean-up's commands are not
    // stored as program bytes.
    Quietly([&] { EndLoad(link, kAbortSequence); });
    throw;
  }
  link.Notify(kEnd, 0);
  Quietly([&] { WakeAll(link); });
}

}  // namespace

bool ProbeEepromHost(HostLink& link, std::int32_t motor) {
  std::string answer;
  try {
    LongerTimeout longer(link, kChecksumAnswerTimeout);
    answer = link.SendCommandGetResponse("RCKS", motor, false);
  } catch (const CVNXException& failure) {
    if (!IsNoResponse(failure)) throw;
  }
  if (IsChecksumAnswer(answer, ChecksumStatus::PassedOrFailed)) return true;
  PrepareHostLoad(link, motor);
  link.WriteChunked(BuiltIn(BuiltInImage::HostProbe));
  try {
    return link.SendCommandGetResponse("RUN", motor, false) == "a=a";
  } catch (const CVNXException& failure) {
    if (IsNoResponse(failure)) return false;
    throw;
  }
}

void HostDownload(HostLink& link, std::int32_t motorCount, std::int32_t motor, const std::filesystem::path& file) {
  files::FileText read = files::ReadWholeFile(file);
  if (read.outcome != files::ReadOutcome::Done) throw CVNXException(ErrorCode::CannotOpenFile);
  bool loadStarted = false;
  try {
    if (motor == 0) {
      for (std::int32_t each = 1; each <= motorCount; ++each) {
        if (!ProbeEepromHost(link, each)) {
          throw CVNXException(static_cast<std::uint32_t>(ErrorCode::NoEeprom),
                              "The motor with address \"" + std::to_string(each) + "\" has no EEPROM",
                              static_cast<std::uint32_t>(each));
        }
      }
    } else if (!ProbeEepromHost(link, motor)) {
      throw CVNXException(ErrorCode::NoEeprom);
    }
    loadStarted = true;
    PrepareHostLoad(link, motor);
    SendImageChunked(link, motor, read.text);
  } catch (const CVNXException& failure) {
    Quietly([&] { WakeAll(link); });
    try {
      LoadHostEmptyProgram(link, motor);
    } catch (const CVNXException&) {
      if (loadStarted) throw StillLoading(failure);
    }
    throw;
  }
}

void HostUpload(HostLink& link, std::int32_t motor, const std::filesystem::path& file, bool forced) {
  if (!CanWrite(file)) throw CVNXException(ErrorCode::CannotWriteFile);
  std::string program;
  try {
    link.SendCommand(SleepCommand(link), 0, false);
    link.SendCommand(WakeCommand(link), motor, false);
    link.SendCommand("RCKS", motor, false);
    const std::string answer = link.ReadLine(kAnswerSize, kChecksumAnswerTimeout);
    const bool valid = IsChecksumAnswer(answer, forced ? ChecksumStatus::PassedOrFailed : ChecksumStatus::PassedOnly);
    if (answer == kNoProgramMemory || !valid) throw CVNXException(ErrorCode::NoEeprom);
    link.SendCommand("UPLOAD", motor, false);
    for (;;) {
      const char byte = link.ReadBytes(1, link.settings.timeout)[0];
      if (byte == '\xFF') break;
      if (program.size() + 2 > kUploadBufferSize) throw CVNXException(ErrorCode::FileTooLong);
      if (byte == '\n') program += '\r';
      program += byte;
    }
  } catch (const CVNXException&) {
    Quietly([&] { WakeAll(link); });
    throw;
  }
  WakeAll(link);
  if (!WriteUpload(file, program)) throw CVNXException(ErrorCode::CannotWriteFile);
}

void HostClearEeprom(HostLink& link, std::int32_t motor) {
  if (!ProbeEepromHost(link, motor)) throw CVNXException(ErrorCode::NoEeprom);
  LoadHostEmptyProgram(link, motor);
}

}  // namespace velkor::engine::transfer
