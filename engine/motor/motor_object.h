#pragma once
// VNXMotor: one motor on a host link, as clients see it. It holds its motor
// record; the record of a listed motor is shared with the host's motor list,
// the all-motors record of GetMotor(0) belongs to its VNXMotor objects alone.

#include <memory>

#include "engine/core/not_implemented.h"
#include "engine/core/reference_count.h"
#include "engine/motor/motor_record.h"

namespace velkor::engine {

class CVNXMotor final : public NotYetImplemented<IVNXMotor>, public ISupportErrorInfo {
 public:
  explicit CVNXMotor(std::shared_ptr<MotorRecord> record) : record_(std::move(record)) {}

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return references_.Increment(); }
  ULONG Release() override { return references_.Decrement(this); }
  HRESULT InterfaceSupportsErrorInfo(REFIID iid) override;

  // Motion and queries (motor_object.cpp).
  HRESULT GetPosition(LONG* position) override;
  HRESULT get_P(LONG* position) override;
  HRESULT put_P(LONG position) override;
  HRESULT get_V(LONG* velocity) override;
  HRESULT put_V(LONG velocity) override;
  HRESULT get_A(LONG* acceleration) override;
  HRESULT put_A(LONG acceleration) override;
  HRESULT GetSpeed(LONG* speed) override;
  HRESULT GetAcceleration(LONG* acceleration) override;
  HRESULT Go() override;
  HRESULT WriteCommand(BSTR command) override;
  HRESULT GetResponseOf(BSTR command, BSTR* response) override;
  HRESULT SetPositionMode() override;
  HRESULT SetVelocityMode() override;
  HRESULT get_Version(BSTR* version) override;
  HRESULT get_SampleRate(DOUBLE* rate) override;
  HRESULT WaitForStop() override;
  HRESULT Stop(LONG decelerate) override;
  HRESULT GoTo(LONG position, LONG velocity, LONG acceleration) override;
  HRESULT IsServo(LONG* result) override;

  // Memory and identity (motor_object_memory.cpp).
  HRESULT GetMotorInfo(LONG* result) override;
  HRESULT GetSerialNumber(BSTR* serialNumber) override;
  HRESULT GetModelStr(BSTR* model) override;
  HRESULT GetEncoderResolution(LONG* resolution) override;
  HRESULT GetMotorByte(LONG address, BYTE* value) override;
  HRESULT GetMotorWord(LONG address, USHORT* value) override;
  HRESULT GetMotorDWord(LONG address, ULONG* value) override;
  HRESULT GetMotorInt(LONG address, SHORT* value) override;
  HRESULT GetMotorLong(LONG address, LONG* value) override;
  HRESULT SetMotorByte(LONG address, BYTE value) override;
  HRESULT SetMotorWord(LONG address, USHORT value) override;
  HRESULT SetMotorDWord(LONG address, ULONG value) override;
  HRESULT SetMotorInt(LONG address, SHORT value) override;
  HRESULT SetMotorLong(LONG address, LONG value) override;

  // Program download and upload (motor_object_transfer.cpp).
  HRESULT Download(BSTR fileName) override;
  HRESULT Upload(BSTR fileName) override;
  HRESULT DownloadEx(BSTR fileName, LONG flags, LONG* result) override;
  HRESULT DownloadProgramStr(BSTR program, LONG flags, LONG* result) override;
  HRESULT ClearProgram(LONG flags) override;
  HRESULT UploadEx(BSTR fileName) override;
  HRESULT UploadProgramStr(LONG compiled, BSTR* program) override;
  HRESULT UpProgramStr(LONG compiled, BSTR* program) override;

 private:
  friend class ReferenceCount<CVNXMotor>;
  ~CVNXMotor() = default;

  // The record, for a member that only sends; error 19 without one.
  MotorRecord& Sending() const;
  // The record, for a member that reads an answer: error 32 for all motors.
  MotorRecord& Asking() const;
  // The record, for a member of memory access or identity, after its
  // checks: error 32 (reads) or 19 (writes) for all motors, 19 without a
  // link or for a write at a protected address, 8 when the link is closed.
  enum class Access { Read, Write };
  MotorRecord& Accessing(Access access, LONG memoryAddress = 0, LONG width = 1) const;
  // The record, for a motor-level transfer: a single motor (uploads: error
  // 32 for all motors, downloads 19), with a link (19) that is open (8).
  enum class Transfer { Download, Upload };
  MotorRecord& Transferring(Transfer transfer) const;

  ReferenceCount<CVNXMotor> references_;
  std::shared_ptr<MotorRecord> record_;
};

// A new VNXMotor for the record with one reference; null when memory runs out.
IVNXMotor* NewMotorObject(std::shared_ptr<MotorRecord> record);

}  // namespace velkor::engine
