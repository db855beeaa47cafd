// IVNXMotor: motor memory and the motor's identity.

#include "engine/motor/info_block.h"
#include "engine/motor/motor_guard.h"
#include "engine/motor/motor_memory.h"
#include "engine/motor/motor_object.h"
#include "velkor/bstr.h"

namespace velkor::engine {

MotorRecord& CVNXMotor::Accessing(Access access, LONG memoryAddress, LONG width) const {
  if (!record_) throw CVNXException(ErrorCode::InvalidData);
  MotorRecord& motor = *record_;
  if (motor.address == 0)
    throw CVNXException(access == Access::Read ? ErrorCode::MoreThanOneMotor : ErrorCode::InvalidData);
  if (!motor.HasLink()) throw CVNXException(ErrorCode::InvalidData);
  // Every byte written must lie below the protected part, not only the first.
  if (access == Access::Write &&
      (memoryAddress < 0 || std::int64_t{memoryAddress} + width > motor_memory::kFirstProtected))
    throw CVNXException(ErrorCode::InvalidData);
  if (!motor.MotorIsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
  return motor;
}

HRESULT CVNXMotor::GetMotorByte(LONG address, BYTE* value) {
  return MotorGuard::Get(value, [&] { return ReadMotorByte(Accessing(Access::Read), address); });
}
HRESULT CVNXMotor::GetMotorWord(LONG address, USHORT* value) {
  return MotorGuard::Get(value, [&] { return ReadMotorWord(Accessing(Access::Read), address); });
}
HRESULT CVNXMotor::GetMotorInt(LONG address, SHORT* value) {
  return MotorGuard::Get(value, [&] { return static_cast<SHORT>(ReadMotorWord(Accessing(Access::Read), address)); });
}
HRESULT CVNXMotor::GetMotorDWord(LONG address, ULONG* value) {
  return MotorGuard::Get(value, [&] { return static_cast<ULONG>(ReadMotorLong(Accessing(Access::Read), address)); });
}
HRESULT CVNXMotor::GetMotorLong(LONG address, LONG* value) {
  return MotorGuard::Get(value, [&] { return static_cast<LONG>(ReadMotorLong(Accessing(Access::Read), address)); });
}

HRESULT CVNXMotor::SetMotorByte(LONG address, BYTE value) {
  return MotorGuard::Do([&] { WriteMotorByte(Accessing(Access::Write, address, 1), address, value); });
}
HRESULT CVNXMotor::SetMotorWord(LONG address, USHORT value) {
  return MotorGuard::Do([&] { WriteMotorWord(Accessing(Access::Write, address, 2), address, value); });
}
HRESULT CVNXMotor::SetMotorInt(LONG address, SHORT value) {
  return MotorGuard::Do(
      [&] { WriteMotorWord(Accessing(Access::Write, address, 2), address, static_cast<std::uint16_t>(value)); });
}
HRESULT CVNXMotor::SetMotorDWord(LONG address, ULONG value) {
  return MotorGuard::Do(
      [&] { WriteMotorLong(Accessing(Access::Write, address, 4), address, static_cast<std::int32_t>(value)); });
}
HRESULT CVNXMotor::SetMotorLong(LONG address, LONG value) {
  return MotorGuard::Do([&] { WriteMotorLong(Accessing(Access::Write, address, 4), address, value); });
}

HRESULT CVNXMotor::GetMotorInfo(LONG* result) {
  return MotorGuard::Get(result, [&]() -> LONG { return ReadInfoBlock(Accessing(Access::Read)) != 0 ? 1 : 0; });
}

HRESULT CVNXMotor::GetSerialNumber(BSTR* serialNumber) {
  return MotorGuard::Get(serialNumber, [&] {
    MotorRecord& motor = Accessing(Access::Read);
    // The cached block serves; without one only the serial number is read.
    const std::uint32_t serial = motor.infoBlock
                                     ? BigEndianLong(*motor.infoBlock, info_block::kSerialNumber)
                                     : static_cast<std::uint32_t>(ReadMotorLong(motor, motor_memory::kSerialNumber));
    return AllocBstr(SerialNumberText(serial));
  });
}

HRESULT CVNXMotor::GetModelStr(BSTR* model) {
  return MotorGuard::Get(model, [&] {
    MotorRecord& motor = Accessing(Access::Read);
    if (!motor.infoBlock) ReadInfoBlock(motor);
    return AllocBstr(motor.infoBlock ? ModelText(*motor.infoBlock) : std::string("N/A"));
  });
}

HRESULT CVNXMotor::GetEncoderResolution(LONG* resolution) {
  return MotorGuard::Get(resolution, [&]() -> LONG {
    MotorRecord& motor = Accessing(Access::Read);
    if (!motor.infoBlock) ReadInfoBlock(motor);
    if (!motor.infoBlock) return 0;
    return static_cast<LONG>(BigEndianLong(*motor.infoBlock, info_block::kEncoderResolution));
  });
}

}  // namespace velkor::engine
