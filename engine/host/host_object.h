#pragma once
// VNXHost: the automation object through which a client reaches the motors.
// Its three interfaces are implemented in host_comm.cpp, host_motion.cpp and
// host_path.cpp; this file holds what they share.

#include "engine/core/not_implemented.h"
#include "engine/core/reference_count.h"
#include <memory>

#include "engine/link/host_link.h"
#include "engine/motion/streaming.h"
#include "engine/motor/motor_list.h"

namespace velkor::engine {

namespace motion {
class PathState;
}  // namespace motion

class CVNXHost final : public NotYetImplemented<IVNXComm>,
                       public NotYetImplemented<IVNXCMotion>,
                       public NotYetImplemented<IVNXPath>,
                       public ISupportErrorInfo {
 public:
  CVNXHost();

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return references_.Increment(); }
  ULONG Release() override { return references_.Decrement(this); }
  HRESULT InterfaceSupportsErrorInfo(REFIID iid) override;

  // IVNXComm: the port and the command exchange (host_comm.cpp).
  HRESULT OpenPort(BSTR portName) override;
  HRESULT ClosePort() override;
  HRESULT get_PortHandle(LONG* handle) override;
  HRESULT ClearBuffer() override;
  HRESULT get_BytesAvailable(LONG* count) override;
  HRESULT WriteCommand(BSTR command) override;
  HRESULT WriteString(BSTR data) override;
  HRESULT ReadResponse(BSTR* response) override;
  HRESULT ReadString(LONG count, BSTR* data) override;
  HRESULT Wait(LONG milliseconds) override;
  HRESULT get_DefaultMotor(LONG* address) override;
  HRESULT put_DefaultMotor(LONG address) override;
  HRESULT get_Echo(VARIANT_BOOL* on) override;
  HRESULT put_Echo(VARIANT_BOOL on) override;
  HRESULT get_Parity(enum_parity* parity) override;
  HRESULT put_Parity(enum_parity parity) override;
  HRESULT get_BaudRate(LONG* baud) override;
  HRESULT put_BaudRate(LONG baud) override;
  HRESULT get_Timeout(LONG* milliseconds) override;
  HRESULT put_Timeout(LONG milliseconds) override;
  HRESULT get_CharDelay(LONG* milliseconds) override;
  HRESULT put_CharDelay(LONG milliseconds) override;
  HRESULT get_PortName(BSTR* portName) override;
  HRESULT GetResponseOf(BSTR command, BSTR* response) override;
  HRESULT WriteCmd(BSTR command) override;

  // IVNXComm: the motor list (host_motors.cpp).
  HRESULT GetMotor(LONG address, IVNXMotor** motor) override;
  HRESULT get_MaxMotors(LONG* count) override;
  HRESULT put_MaxMotors(LONG count) override;
  HRESULT get_NoOfMotors(LONG* count) override;
  HRESULT get_IsRS485(LONG* isRS485) override;
  HRESULT put_IsRS485(LONG isRS485) override;
  HRESULT InitRS485(LONG count, LONG channel) override;

  // IVNXComm: detection and address set-up (host_chain.cpp).
  HRESULT EstablishChain() override;
  HRESULT AddressMotorChain(LONG* motorCount) override;
  HRESULT DetectRS232(LONG maxAddress, LONG flags, LONG* errorCode) override;
  HRESULT DetectRS485(LONG maxAddress, LONG motorChannel, LONG flags, LONG* errorCode) override;
  HRESULT AddressServos(LONG flags, LONG* errorCode) override;
  HRESULT ReorderMotors(LONG address, BSTR serialNo, LONG* oldMotorAddress) override;

  // IVNXComm: motors behind network adapters (host_network.cpp).
  HRESULT InitEthernet(LONG maxAddress) override;
  HRESULT DetectNetMotors(LONG maxAddress, LONG flags, LONG* errorCode) override;
  HRESULT AddNetMotor(BSTR ipAddress, LONG* motorAddress) override;

  // IVNXComm: motors behind USB adapters (host_usb.cpp).
  HRESULT InitUSB(LONG maxAddress) override;
  HRESULT DetectUSBMotors(LONG maxAddress, LONG flags, LONG* errorCode) override;

  // IVNXComm: configuration (host_configuration.cpp).
  HRESULT get_TxMaxRetry(LONG* count) override;
  HRESULT put_TxMaxRetry(LONG count) override;
  HRESULT get_TxTimeoutMul(LONG* milliseconds) override;
  HRESULT put_TxTimeoutMul(LONG milliseconds) override;
  HRESULT get_TxTimeoutConst(LONG* milliseconds) override;
  HRESULT put_TxTimeoutConst(LONG milliseconds) override;
  HRESULT get_EchoTimeoutMul(LONG* milliseconds) override;
  HRESULT put_EchoTimeoutMul(LONG milliseconds) override;
  HRESULT get_EchoTimeoutConst(LONG* milliseconds) override;
  HRESULT put_EchoTimeoutConst(LONG milliseconds) override;
  HRESULT get_LogFlags(LONG* flags) override;
  HRESULT put_LogFlags(LONG flags) override;
  HRESULT get_LogFileName(BSTR* fileName) override;
  HRESULT put_LogFileName(BSTR fileName) override;
  HRESULT InitializeNotification(LONG window, LONG message) override;
  HRESULT get_EngineVersion(LONG* version) override;

  // IVNXCMotion: host-mode streaming (host_cmotion.cpp).
  HRESULT Initialize(LONG motorCount) override;
  HRESULT WritePosition(LONG motor, LONG position) override;
  HRESULT WriteClock(LONG motor, LONG clock) override;
  HRESULT get_SlotsNeeded(LONG motor, LONG* slots) override;
  HRESULT get_CurrentClock(LONG motor, LONG* clock) override;
  HRESULT CheckStatus(LONG motor, LONG* freeSlots) override;
  HRESULT get_TrajectorySlots(LONG* slots) override;
  HRESULT put_TrajectorySlots(LONG slots) override;
  HRESULT get_Buffered(boolean* buffered) override;
  HRESULT put_Buffered(boolean buffered) override;
  HRESULT get_SampleRate(LONG motor, DOUBLE* rate) override;
  HRESULT get_PIDFactor(LONG* factor) override;
  HRESULT put_PIDFactor(LONG factor) override;
  HRESULT EndHostMode() override;
  HRESULT Run() override;
  HRESULT SyncMotors() override;

  // IVNXPath: path generation (host_path.cpp).
  HRESULT get_EndSpeed(DOUBLE* speed) override;
  HRESULT put_EndSpeed(DOUBLE speed) override;
  HRESULT get_Acceleration(DOUBLE* acceleration) override;
  HRESULT put_Acceleration(DOUBLE acceleration) override;
  HRESULT get_StartPoint(INT axis, DOUBLE* position) override;
  HRESULT put_StartPoint(INT axis, DOUBLE position) override;
  HRESULT get_StartClock(LONG* clock) override;
  HRESULT put_StartClock(LONG clock) override;
  HRESULT get_SlowToEndSpeed(boolean* slow) override;
  HRESULT put_SlowToEndSpeed(boolean slow) override;
  HRESULT SetupTimeDelta(LONG aveTimeDelta, VARIANT minTimeDelta, VARIANT allowedCount, VARIANT precedeCount) override;
  HRESULT GeneratePath(DOUBLE maxSpeed, DOUBLE totalLength, VARIANT* dataPairs) override;
  HRESULT GenerateLinePath(DOUBLE maxSpeed, VARIANT endpoint, VARIANT* dataPairs) override;
  HRESULT GenerateArcPath(DOUBLE maxSpeed, VARIANT endpoint, VARIANT center, enum_arcdirection direction,
                          VARIANT* dataPairs) override;
  HRESULT get_StartSpeed(DOUBLE* speed) override;
  HRESULT put_StartSpeed(DOUBLE speed) override;
  HRESULT get_TimeDelta(LONG* delta) override;
  HRESULT put_TimeDelta(LONG delta) override;
  HRESULT get_Plane(LONG* plane) override;
  HRESULT put_Plane(LONG plane) override;
  HRESULT CreatePath(DOUBLE maxSpeed, DOUBLE totalLength, VARIANT* dataPairs) override;
  HRESULT CreateLinePath(DOUBLE maxSpeed, VARIANT endpoint, VARIANT* dataPairs) override;
  HRESULT CreateArcPath(DOUBLE maxSpeed, VARIANT endpoint, VARIANT center, enum_arcdirection direction,
                        VARIANT* dataPairs) override;

  // IVNXComm: program download and upload (host_programs.cpp).
  HRESULT Download(LONG motor, BSTR fileName) override;
  HRESULT Upload(LONG motor, BSTR fileName) override;
  HRESULT ForceUpload(LONG motor, BSTR fileName) override;
  HRESULT ClearEEPROM(LONG motor) override;

 private:
  friend class ReferenceCount<CVNXHost>;
  ~CVNXHost();
  void ReprogramTimeouts();
  // Network discovery; the result code, or an error with Flags bit 20.
  std::int32_t DiscoverNetMotors(LONG flags);
  // A listed record at `address` connected to `host`; null when the
  // connection failed (the record is then gone again).
  std::shared_ptr<MotorRecord> ConnectNetMotor(std::int32_t address, const std::string& host);
  // USB detection; the result code, or an error with Flags bit 20.
  std::int32_t DiscoverUsbMotors(LONG flags);
  // A serial link that is open, and a motor number from `lowest` to the
  // number of motors; errors 19 and 8.
  void RequireTransferTarget(LONG motor, LONG lowest) const;

  ReferenceCount<CVNXHost> references_;
  std::shared_ptr<HostLink> link_ = std::make_shared<HostLink>();
  MotorList motors_;  // records refer to link_ weakly and are detached when cleared
  // Made by the first call that needs them.
  motion::HostMotion& Motion();
  std::unique_ptr<motion::HostMotion> motion_;
  motion::PathState& Path();
  std::unique_ptr<motion::PathState> path_;
};

}  // namespace velkor::engine
