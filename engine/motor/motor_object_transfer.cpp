// IVNXMotor: program download and upload.

#include <filesystem>

#include "engine/core/byte_string.h"
#include "engine/motor/host_transfer.h"
#include "engine/motor/motor_guard.h"
#include "engine/motor/motor_object.h"
#include "engine/motor/motor_transfer.h"
#include "velkor/bstr.h"

namespace velkor::engine {

namespace {

std::filesystem::path RequiredPath(BSTR name) {
  if (!name) throw CVNXException(ErrorCode::InvalidData);
  return std::filesystem::path(BstrToUtf8(name));
}

}  // namespace

MotorRecord& CVNXMotor::Transferring(Transfer transfer) const {
  MotorRecord& motor = transfer == Transfer::Upload ? Asking() : Sending();
  if (motor.address == 0) throw CVNXException(ErrorCode::InvalidData);
  if (!motor.HasLink()) throw CVNXException(ErrorCode::InvalidData);
  if (!motor.MotorIsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
  return motor;
}

HRESULT CVNXMotor::Download(BSTR fileName) {
  return MotorGuard::Do([&] {
    MotorRecord& motor = Sending();
    const std::filesystem::path file = RequiredPath(fileName);
    auto link = motor.Link();
    // The chunked writer of the host-level path reaches only serial links;
    // elsewhere the motor's own download does the work instead of nothing.
    if (link->IsSerial()) {
      transfer::HostDownload(*link, link->motorCount, motor.address, file);
    } else {
      transfer::DownloadFile(motor, file, 0);
    }
  });
}

HRESULT CVNXMotor::Upload(BSTR fileName) {
  return MotorGuard::Do([&] {
    MotorRecord& motor = Asking();
    const std::filesystem::path file = RequiredPath(fileName);
    auto link = motor.Link();
    if (link->IsSerial()) {
      transfer::HostUpload(*link, motor.address, file, false);
    } else {
      transfer::UploadFile(motor, file);
    }
  });
}

HRESULT CVNXMotor::DownloadEx(BSTR fileName, LONG flags, LONG* result) {
  return MotorGuard::Get(result, [&] {
    MotorRecord& motor = Transferring(Transfer::Download);
    return transfer::DownloadFile(motor, RequiredPath(fileName), flags);
  });
}

HRESULT CVNXMotor::DownloadProgramStr(BSTR program, LONG flags, LONG* result) {
  return MotorGuard::Get(result, [&] {
    MotorRecord& motor = Transferring(Transfer::Download);
    if (!program) throw CVNXException(ErrorCode::InvalidData);
    return transfer::DownloadText(motor, BytesOf(program), flags);
  });
}

HRESULT CVNXMotor::ClearProgram(LONG flags) {
  return MotorGuard::Do([&] { transfer::ClearMotorProgram(Transferring(Transfer::Download), flags); });
}

HRESULT CVNXMotor::UploadEx(BSTR fileName) {
  return MotorGuard::Do([&] {
    MotorRecord& motor = Transferring(Transfer::Upload);
    transfer::UploadFile(motor, RequiredPath(fileName));
  });
}

HRESULT CVNXMotor::UploadProgramStr(LONG compiled, BSTR* program) {
  return MotorGuard::Get(program, [&] {
    return StringOf(transfer::UploadText(Transferring(Transfer::Upload), compiled == 1, false));
  });
}

HRESULT CVNXMotor::UpProgramStr(LONG compiled, BSTR* program) {
  return MotorGuard::Get(program, [&] {
    return StringOf(transfer::UploadText(Transferring(Transfer::Upload), compiled == 1, true));
  });
}

}  // namespace velkor::engine
