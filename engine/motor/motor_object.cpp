// IVNXMotor: motion commands and queries.

#include "engine/motor/motor_object.h"

#include <new>
#include <string>

#include "engine/motor/answer_number.h"
#include "engine/motor/motor_guard.h"
#include "velkor/bstr.h"

namespace velkor::engine {

IVNXMotor* NewMotorObject(std::shared_ptr<MotorRecord> record) {
  CVNXMotor* motor = MakeObject<CVNXMotor>(std::move(record));
  return motor ? static_cast<IVNXMotor*>(motor) : nullptr;
}

HRESULT CVNXMotor::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IVNXMotor) {
    *object = static_cast<IVNXMotor*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT CVNXMotor::InterfaceSupportsErrorInfo(REFIID iid) { return iid == IID_IVNXMotor ? S_OK : S_FALSE; }

MotorRecord& CVNXMotor::Sending() const {
  if (!record_) throw CVNXException(ErrorCode::InvalidData);
  return *record_;
}

MotorRecord& CVNXMotor::Asking() const {
  MotorRecord& record = Sending();
  if (record.address == 0) throw CVNXException(ErrorCode::MoreThanOneMotor);
  return record;
}

namespace {

std::string Assignment(const char* name, LONG value) { return std::string(name) + "=" + std::to_string(value); }

// The getters of P, V and A go through the user variable a, as the motor
// reports registers only that way.
LONG ReadRegister(MotorRecord& motor, const char* name) {
  motor.MotorSendCommand(std::string("a=") + name);
  return AnswerNumber(motor.AskUnaddressed("Ra"));
}

void TakeSamplePeriodAnswer(MotorRecord& motor) {
  SamplePeriodAnswer parsed = ParseSamplePeriodAnswer(motor.Ask("RSP"));
  motor.firmwareVersion = std::move(parsed.version);
  motor.sampleRate = parsed.sampleRate;
}

}  // namespace

HRESULT CVNXMotor::GetPosition(LONG* position) {
  return MotorGuard::Get(position, [&] { return AnswerNumber(Asking().Ask("RP")); });
}
HRESULT CVNXMotor::GetSpeed(LONG* speed) {
  return MotorGuard::Get(speed, [&] { return AnswerNumber(Asking().Ask("RV")); });
}
HRESULT CVNXMotor::GetAcceleration(LONG* acceleration) {
  return MotorGuard::Get(acceleration, [&] { return AnswerNumber(Asking().Ask("RA")); });
}

HRESULT CVNXMotor::get_P(LONG* position) {
  return MotorGuard::Get(position, [&] { return ReadRegister(Asking(), "P"); });
}
HRESULT CVNXMotor::get_V(LONG* velocity) {
  return MotorGuard::Get(velocity, [&] { return ReadRegister(Asking(), "V"); });
}
HRESULT CVNXMotor::get_A(LONG* acceleration) {
  return MotorGuard::Get(acceleration, [&] { return ReadRegister(Asking(), "A"); });
}

HRESULT CVNXMotor::put_P(LONG position) {
  return MotorGuard::Do([&] { Sending().MotorSendCommand(Assignment("P", position)); });
}
HRESULT CVNXMotor::put_V(LONG velocity) {
  return MotorGuard::Do([&] { Sending().MotorSendCommand(Assignment("V", velocity)); });
}
HRESULT CVNXMotor::put_A(LONG acceleration) {
  return MotorGuard::Do([&] {
    MotorRecord& motor = Sending();
    if (acceleration < 0) throw CVNXException(ErrorCode::InvalidData);
    motor.MotorSendCommand(Assignment("A", acceleration));
  });
}

HRESULT CVNXMotor::Go() {
  return MotorGuard::Do([&] { Sending().MotorSendCommand("G"); });
}
HRESULT CVNXMotor::SetPositionMode() {
  return MotorGuard::Do([&] { Sending().MotorSendCommand("MP"); });
}
HRESULT CVNXMotor::SetVelocityMode() {
  return MotorGuard::Do([&] { Sending().MotorSendCommand("MV"); });
}
HRESULT CVNXMotor::Stop(LONG decelerate) {
  return MotorGuard::Do([&] { Sending().MotorSendCommand(decelerate != 0 ? "X" : "S"); });
}

HRESULT CVNXMotor::GoTo(LONG position, LONG velocity, LONG acceleration) {
  return MotorGuard::Do([&] {
    MotorRecord& motor = Sending();
    if (velocity < 1 || acceleration < 1) throw CVNXException(ErrorCode::InvalidData);
    motor.MotorSendCommand("MP");
    motor.SendUnaddressed(Assignment("P", position));
    motor.SendUnaddressed(Assignment("V", velocity));
    motor.SendUnaddressed(Assignment("A", acceleration));
    motor.SendUnaddressed("G");
  });
}

HRESULT CVNXMotor::WriteCommand(BSTR command) {
  return MotorGuard::Do([&] {
    MotorRecord& motor = Sending();
    if (SysStringLen(command) == 0) return;
    motor.MotorSendCommand(BstrToUtf8(command));
  });
}

HRESULT CVNXMotor::GetResponseOf(BSTR command, BSTR* response) {
  return MotorGuard::Get(response, [&] {
    MotorRecord& motor = Asking();
    if (SysStringLen(command) == 0) throw CVNXException(ErrorCode::InvalidData);
    return AllocBstr(motor.Ask(BstrToUtf8(command)));
  });
}

HRESULT CVNXMotor::get_Version(BSTR* version) {
  return MotorGuard::Get(version, [&] {
    MotorRecord& motor = Asking();
    if (motor.firmwareVersion.empty()) TakeSamplePeriodAnswer(motor);
    return AllocBstr(motor.firmwareVersion);
  });
}

HRESULT CVNXMotor::get_SampleRate(DOUBLE* rate) {
  return MotorGuard::Get(rate, [&] {
    MotorRecord& motor = Asking();
    if (motor.sampleRate == 0.0) TakeSamplePeriodAnswer(motor);
    return motor.sampleRate;
  });
}

HRESULT CVNXMotor::WaitForStop() {
  return MotorGuard::Do([&] {
    MotorRecord& motor = Asking();
    // No pause and no overall limit: the motor's answer, or its silence
    // (no answer within the time-out), ends the wait.
    for (std::string answer = "1";;) {
      const char first = answer.empty() ? '\0' : answer.front();
      if (first == '0') return;
      if (first != '1') throw CVNXException(ErrorCode::InvalidData);
      answer = motor.Ask("RBt");
    }
  });
}

HRESULT CVNXMotor::IsServo(LONG* result) {
  return MotorGuard::Get(result, [&]() -> LONG {
    MotorRecord& motor = Asking();
    if (!motor.HasLink()) throw CVNXException(ErrorCode::InvalidData);
    if (motor.firmwareVersion.empty()) {
      try {
        motor.ReadVersion();
      } catch (...) {
        return 0;  // a motor that cannot tell its version is taken for no servo
      }
    }
    return motor.firmwareVersion.starts_with("46") ? 1 : 0;
  });
}

}  // namespace velkor::engine
