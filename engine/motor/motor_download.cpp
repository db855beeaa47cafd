// Motor-level download: checks, the line-rate drop of servo motors, the
// image in pieces with progress and cancel, verification and the record.

#include <sys/stat.h>

#include <array>
#include <atomic>
#include <ctime>

#include "engine/motor/motor_memory.h"
#include "engine/motor/info_block.h"
#include "engine/motor/motor_transfer.h"
#include "engine/motor/transfer_steps.h"
#include "platform/files/whole_file.h"

namespace velkor::engine::transfer {
namespace {

constexpr std::int32_t kChecksumAnswerTimeout = 8000;  // ms: the motor sums its whole memory
constexpr std::int32_t kServoLoadRate = 9600;

enum NotificationCode : std::uint32_t { kStart = 1, kProgress = 2, kEnd = 3 };

// Servo-firmware motors are loaded at 9600 baud. The rate to go back to is
// kept here as well as in the record, because a nested clear clears the
// record's copy. On a serial link the whole chain moves; on a USB link only
// this motor and its own adapter, which always run at 38400.
class LineRateDrop {
 public:
  explicit LineRateDrop(MotorRecord& motor) : motor_(motor) {}

  void Lower() {
    motor_.savedBaudRate = 0;
    auto link = motor_.Link();
    if (!IsServoMotor(motor_)) return;
    if (link->IsUsb()) {
      Remember(static_cast<std::int32_t>(kUsbMotorRate));
      AdapterOf(motor_).ChangeRate(kServoLoadRate);
    } else if (link->IsSerial() && link->settings.baudRate > kServoLoadRate) {
      Remember(link->settings.baudRate);
      link->ChangeBaud(kServoLoadRate);
    }
  }
  void Restore() {
    if (saved_ == 0) return;
    const std::int32_t rate = saved_;
    saved_ = 0;
    motor_.savedBaudRate = 0;
    auto link = motor_.Link();
    if (link->IsUsb()) AdapterOf(motor_).ChangeRate(static_cast<std::uint32_t>(rate));
    else link->ChangeBaud(rate);
  }

 private:
  void Remember(std::int32_t rate) {
    saved_ = rate;
    motor_.savedBaudRate = rate;
  }
  static UsbPort& AdapterOf(MotorRecord& motor) {
    if (!motor.usbPort || !motor.usbPort->IsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
    return *motor.usbPort;
  }

  MotorRecord& motor_;
  std::int32_t saved_ = 0;
};

void PrepareLoad(MotorRecord& motor, std::int32_t flags) {
  auto link = motor.Link();
  if (motor.address > 0 && link->IsSerial()) IsolateMotor(motor, *link, flags);
  Tolerated(flags, [&] { motor.MotorSendCommand("END"); });
  Tolerated(flags, [&] { motor.MotorSendCommand(flags & kCompiled ? "LOADC" : "LOAD"); });
}

void RequireFirmwareVersion(MotorRecord& motor) {
  if (motor.firmwareVersion.empty()) motor.ReadVersion();
}

void PreDownloadChecks(MotorRecord& motor, std::string_view image, std::int32_t flags) {
  if (flags & kForce) return;
  RequireFirmwareVersion(motor);
  if (!VersionCompatible(image.substr(std::min<std::size_t>(1, image.size())), motor.firmwareVersion)) {
    throw CVNXException(ErrorCode::MajorVersionDiffers);
  }
  if (ReadVariable(motor, "Bo") == "0") {  // the drive is on
    if (!(flags & kStopRunningMotor)) throw CVNXException(ErrorCode::MotorIsOn);
    motor.MotorSendCommand("END");
    motor.MotorSendCommand("OFF");
  }
  if (!(flags & kSkipProbe) && !ProbeEeprom(motor)) throw CVNXException(ErrorCode::NoEeprom);
  if ((flags & kCompiled) && !IsServoMotor(motor)) throw CVNXException(ErrorCode::MajorVersionDiffers);
}

void VerifyDownload(MotorRecord& motor, std::int64_t expected, std::int32_t flags) {
  auto link = motor.Link();
  bool ok = true;
  if (motor.address >= 1) {
    motor.MotorSendCommand(flags & kCompiled ? "RCKSC" : "RCKS");
    const std::string answer = motor.MotorReadLine(kAnswerSize, kChecksumAnswerTimeout);
    ok = IsChecksumAnswer(answer, ChecksumStatus::PassedOnly) &&
         (expected < 0 || StoredChecksum(answer) == static_cast<std::uint32_t>(expected));
  }
  Tolerated(flags, [&] { WakeAll(*link); });
  if (!ok) throw CVNXException(ErrorCode::DownloadFailed);
}

// False when the client cancelled: the motor then gets the abort sequence
// and, after it has settled, the empty program, and every motor is woken.
// The client's cancel stops the transfer once; the clean-up runs to its end.
bool SendImage(MotorRecord& motor, std::string_view image, std::int32_t flags) {
  auto link = motor.Link();
  PrepareLoad(motor, flags);
  const auto cancelled = [&] {
    HostLink::Uncancellable cleaning(*link);
    link->Notify(kEnd, 0);
    Quietly([&] { EndMotorLoad(motor, kAbortSequence); });
    Quietly([&] { ClearMotorProgram(motor, flags); });
    Quietly([&] { WakeAll(*link); });
    return false;
  };
  if (link->Notify(kStart, static_cast<std::intptr_t>(image.size())) == 0) return cancelled();
  try {
    std::size_t sent = 0;
    while (image.size() - sent >= 9) {
      Tolerated(flags, [&] { motor.MotorWriteBytes(image.substr(sent, 8)); });
      sent += 8;
      if (link->Notify(kProgress, static_cast<std::intptr_t>(sent)) == 0) return cancelled();
    }
    Tolerated(flags, [&] { motor.MotorWriteBytes(image.substr(sent)); });
    Tolerated(flags, [&] { motor.MotorWriteBytes(kImageTerminator); });
  } catch (const CVNXException&) {
    // The motor is still loading: without an end, the commands of the
    // clean-up would be stored as program bytes.
    Quietly([&] { EndMotorLoad(motor, kAbortSequence); });
    throw;
  }
  link->Notify(kEnd, 0);
  const std::int64_t expected = ExpectedChecksum(image);
  VerifyDownload(motor, expected, flags);
  return true;
}

struct RecordSource {
  const std::filesystem::path* file = nullptr;  // a file download
  std::size_t textLength = 0;                   // a string download; 0 for the clear
};

std::array<std::uint8_t, 34> BuildDownloadRecord(const RecordSource& source) {
  std::array<std::uint8_t, 34> record{};
  std::string name = "<END>";
  std::time_t when = std::time(nullptr);
  std::uint32_t length = 47;  // the empty program's image
  if (source.textLength != 0) {
    name = "ProgStr";
    length = static_cast<std::uint32_t>(source.textLength);
  } else if (source.file) {
    name = source.file->filename().string();
    struct stat status {};
    if (::stat(source.file->c_str(), &status) == 0) {
      when = status.st_mtime;
      length = static_cast<std::uint32_t>(status.st_size);
    }
  }
  name.resize(std::min<std::size_t>(name.size(), 23));
  std::copy(name.begin(), name.end(), record.begin());
  std::tm utc{};
  gmtime_r(&when, &utc);
  record[24] = static_cast<std::uint8_t>(utc.tm_year % 100);
  record[25] = static_cast<std::uint8_t>(utc.tm_mon + 1);
  record[26] = static_cast<std::uint8_t>(utc.tm_mday);
  record[27] = static_cast<std::uint8_t>(utc.tm_hour);
  record[28] = static_cast<std::uint8_t>(utc.tm_min);
  record[29] = static_cast<std::uint8_t>(utc.tm_sec);
  for (int i = 0; i < 4; ++i) record[30 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
  return record;
}

// Writes the download record into the information block and keeps the
// block's checksum byte right.
void RecordDownload(MotorRecord& motor, const RecordSource& source, bool compiled) {
  if (!motor.hasEeprom) return;
  const std::uint16_t length = ReadMotorWord(motor, motor_memory::kInfoBlockLength);
  if (length < info_block::kShortest || length > info_block::kLongest) return;
  const std::int32_t checksumAddress = motor_memory::kInfoBlock - 1 + length;
  std::uint8_t checksum = ReadMotorByte(motor, checksumAddress);
  const std::int32_t recordAddress =
      compiled ? motor_memory::kCompiledDownloadRecord : motor_memory::kPlainDownloadRecord;
  std::array<std::uint8_t, 34> old{};
  ReadMotorBlock(motor, recordAddress, old);
  for (std::uint8_t byte : old) checksum = static_cast<std::uint8_t>(checksum - byte);
  const auto record = BuildDownloadRecord(source);
  for (std::uint8_t byte : record) checksum = static_cast<std::uint8_t>(checksum + byte);
  WriteMotorBlock(motor, recordAddress, record);
  WriteMotorByte(motor, checksumAddress, checksum);
  motor.infoBlock.reset();  // the cached copy no longer matches the motor
  if (ReadMotorByte(motor, checksumAddress) != checksum) {
    motor.hasEeprom = false;
    Quietly([&] {
      motor.MotorSendCommand("RCKSC");
      motor.MotorReadLine(kAnswerSize, kChecksumAnswerTimeout);
    });
  }
}

void CheckSize(MotorRecord& motor, std::size_t size, std::int32_t flags) {
  if (flags & kCompiled) {
    if (size > kLongestCompiledImage) throw CVNXException(ErrorCode::FileTooLong);
  } else if (IsServoMotor(motor)) {
    if (size >= kServoImageLimit) throw CVNXException(ErrorCode::FileTooLong);
  } else if (size > kLongestImage) {
    throw CVNXException(ErrorCode::FileTooLong);
  }
}

std::atomic<bool> clearing{false};

std::int32_t DownloadImage(MotorRecord& motor, std::string_view image, std::int32_t flags, const RecordSource& source) {
  bool checksPassed = false;
  LineRateDrop rate(motor);
  try {
    if (flags & kEndLoadFirst) EndMotorLoad(motor, kImageTerminator);
    if (motor.address != 0) PreDownloadChecks(motor, image, flags);
    checksPassed = true;
    rate.Lower();
    const bool sent = SendImage(motor, image, flags);
    // Also after a cancel: the link goes back to the rate it had.
    rate.Restore();
    if (!sent) return 0;
    if (motor.address != 0) RecordDownload(motor, source, (flags & kCompiled) != 0);
    return 1;
  } catch (const CVNXException& failure) {
    HostLink::Uncancellable cleaning(*motor.Link());
    Quietly([&] { rate.Restore(); });
    Quietly([&] { WakeAll(*motor.Link()); });
    // A clear that fails here fails itself; the download that started it
    // says that the motor may be left loading.
    bool cleared = true;
    if (!(flags & kCompiled) && checksPassed && !clearing) {
      try {
        ClearMotorProgram(motor, flags);
      } catch (const CVNXException&) {
        cleared = false;
      }
      Quietly([&] { WakeAll(*motor.Link()); });
    }
    if (flags & kForce) return 0;
    if (!cleared) throw StillLoading(failure);
    throw;
  }
}

}  // namespace

bool IsServoMotor(MotorRecord& motor) {
  if (motor.firmwareVersion.empty()) {
    try {
      motor.ReadVersion();
    } catch (const CVNXException&) {
      return false;
    }
  }
  return motor.firmwareVersion.starts_with("46");
}

std::int32_t DownloadFile(MotorRecord& motor, const std::filesystem::path& file, std::int32_t flags) {
  files::FileText read = files::ReadWholeFile(file);
  if (read.outcome != files::ReadOutcome::Done) throw CVNXException(ErrorCode::CannotOpenFile);
  if (HasExtension(file, ".scx")) flags |= kCompiled;
  CheckSize(motor, read.text.size(), flags);
  return DownloadImage(motor, read.text, flags, RecordSource{&file, 0});
}

std::int32_t DownloadText(MotorRecord& motor, std::string image, std::int32_t flags) {
  CheckSize(motor, image.size(), flags);
  return DownloadImage(motor, image, flags, RecordSource{nullptr, image.size()});
}

void ClearMotorProgram(MotorRecord& motor, std::int32_t flags) {
  if (clearing.exchange(true)) return;
  struct Reset {
    ~Reset() { clearing = false; }
  } reset;
  std::string image = BuiltIn(BuiltInImage::EmptyProgram);
  if (IsServoMotor(motor)) MarkForServo(image);
  DownloadImage(motor, image, flags, RecordSource{});
}

bool ProbeEeprom(MotorRecord& motor) {
  motor.MotorSendCommand("RCKS");
  if (IsChecksumAnswer(motor.MotorReadLine(kAnswerSize, kChecksumAnswerTimeout), ChecksumStatus::PassedOrFailed)) {
    return true;
  }
  RequireFirmwareVersion(motor);
  auto link = motor.Link();
  int firmware = 0;
  for (char c : motor.firmwareVersion.substr(0, 3)) {
    if (c < '0' || c > '9') break;
    firmware = firmware * 10 + (c - '0');
  }
  const bool channelOne = firmware < 415 && link->settings.rs485Channel == 1;
  std::string probe = BuiltIn(firmware >= 500 ? BuiltInImage::NewFirmwareProbe
                              : channelOne    ? BuiltInImage::ChannelOneProbe
                                              : BuiltInImage::PlainProbe);
  if (IsServoMotor(motor)) MarkForServo(probe);
  PrepareLoad(motor, 0);
  motor.MotorWriteBytes(probe);
  try {
    if (channelOne) return motor.MotorGetResponse("RUN") == "a=a";
    motor.MotorSendCommand("UPLOAD");
    return motor.MotorReadBytes(9, link->settings.timeout) == std::string_view("a=a END\n\xFF", 9);
  } catch (const CVNXException& failure) {
    Quietly([&] { WakeAll(*link); });
    if (failure.Code() == static_cast<std::uint32_t>(ErrorCode::NoResponse)) return false;
    throw;
  }
}

}  // namespace velkor::engine::transfer
