// Motor-level upload: the stored program, checked by its checksum answer,
// byte by byte up to its end mark.

#include "engine/core/errors.h"
#include "engine/motor/info_block.h"
#include "engine/motor/motor_memory.h"
#include "engine/motor/motor_transfer.h"
#include "engine/motor/transfer_steps.h"
#include "engine/motor/upload_target.h"

namespace velkor::engine::transfer {
namespace {

constexpr std::int32_t kChecksumAnswerTimeout = 8000;
constexpr char kEndOfProgram = '\xFF';
constexpr std::size_t kLengthInRecord = 30;

enum NotificationCode : std::uint32_t { kProgress = 2, kEnd = 3, kUploadStart = 4 };

// The length of the last download of that program, as its record keeps it;
// 0 when unknown or too large to report.
std::uint32_t ExpectedSize(MotorRecord& motor, bool compiled) {
  const std::size_t recordOffset = compiled ? 114 : 80;
  std::uint32_t length = 0;
  if (motor.infoBlock) {
    length = BigEndianLong(*motor.infoBlock, recordOffset + kLengthInRecord);
  } else {
    const std::int32_t record =
        compiled ? motor_memory::kCompiledDownloadRecord : motor_memory::kPlainDownloadRecord;
    length = static_cast<std::uint32_t>(ReadMotorLong(motor, record + static_cast<std::int32_t>(kLengthInRecord)));
  }
  return length > 65535 ? 0 : length;
}

std::string Upload(MotorRecord& motor, bool compiled, bool raw) {
  auto link = motor.Link();
  const bool notifying = link->settings.notificationWindow != 0;
  try {
    if (link->IsSerial()) IsolateMotor(motor, *link, 0);
    motor.MotorSendCommand("END");
    motor.MotorSendCommand(compiled ? "RCKSC" : "RCKS");
    const std::string answer = motor.MotorReadLine(kAnswerSize, kChecksumAnswerTimeout);
    if (answer == kNoProgramMemory) throw CVNXException(ErrorCode::NoEeprom);
    if (!IsChecksumAnswer(answer, ChecksumStatus::PassedOnly)) throw CVNXException(ErrorCode::CorruptProgram);

    std::uint32_t expected = 0;
    if (notifying) {
      expected = ExpectedSize(motor, compiled);
      link->Notify(kUploadStart, static_cast<std::intptr_t>(expected));
    }
    motor.MotorSendCommand(compiled ? "UPLOADC" : raw ? "UP" : "UPLOAD");
    std::string program;
    std::size_t received = 0;
    for (;;) {
      const char byte = motor.MotorReadBytes(1, link->settings.timeout)[0];
      if (byte == kEndOfProgram) break;
      ++received;
      // The buffer is bounded: a motor that never sends its end mark must
      // not make it grow without end.
      const std::size_t adding = byte == '\n' && !raw ? 2 : 1;
      if (program.size() + adding > kUploadBufferSize) throw CVNXException(ErrorCode::FileTooLong);
      if (byte == '\n' && !raw) program += '\r';
      program += byte;
      if (notifying && expected != 0) link->Notify(kProgress, static_cast<std::intptr_t>(received));
    }
    if (link->IsSerial()) WakeAll(*link);
    if (notifying) link->Notify(kEnd, 0);
    return program;
  } catch (const CVNXException&) {
    if (notifying) link->Notify(kEnd, 0);
    Quietly([&] { WakeAll(*link); });
    throw;
  }
}

}  // namespace

std::string UploadText(MotorRecord& motor, bool compiled, bool raw) { return Upload(motor, compiled, raw); }

void UploadFile(MotorRecord& motor, const std::filesystem::path& file) {
  if (!CanWrite(file)) {
    throw CVNXException(static_cast<std::uint32_t>(ErrorCode::CannotWriteFile),
                        "Cannot open the file to write! (" + file.string() + ")");
  }
  const std::string program = Upload(motor, HasExtension(file, ".vqc"), false);
  if (!WriteUpload(file, program)) {
    throw CVNXException(static_cast<std::uint32_t>(ErrorCode::CannotWriteFile),
                        "Cannot open the file to write! (" + file.string() + ")");
  }
}

}  // namespace velkor::engine::transfer
