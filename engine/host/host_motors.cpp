// IVNXComm: the motor list.

#include "engine/host/comm_guard.h"
#include "engine/host/host_object.h"
#include "engine/motor/motor_object.h"

namespace velkor::engine {

namespace {
// The table holds addresses 0 to 119, so a bus declares at most 119 motors.
constexpr LONG kMostDeclaredMotors = MotorList::kTableSize - 1;
}  // namespace

HRESULT CVNXHost::GetMotor(LONG address, IVNXMotor** motor) {
  return CommGuard::Get(motor, [&] {
    link_->RequireOpenSerial();
    // The all-motors record belongs to no list: its VNXMotor objects own it.
    std::shared_ptr<MotorRecord> record =
        address == 0 ? std::make_shared<MotorRecord>(0, link_) : motors_.At(address);
    if (!record) throw CVNXException(ErrorCode::InvalidData);
    IVNXMotor* object = NewMotorObject(std::move(record));
    if (!object) throw CVNXException(ErrorCode::OutOfMemory);
    return object;
  });
}

HRESULT CVNXHost::get_MaxMotors(LONG* count) {
  return CommGuard::Get(count, [&] { return link_->settings.maxMotors; });
}
HRESULT CVNXHost::put_MaxMotors(LONG count) {
  return CommGuard::Do([&] { link_->settings.maxMotors = count; });
}

HRESULT CVNXHost::get_NoOfMotors(LONG* count) {
  return CommGuard::Get(count, [&] { return static_cast<LONG>(motors_.Size()); });
}

HRESULT CVNXHost::get_IsRS485(LONG* isRS485) {
  return CommGuard::Get(isRS485, [&]() -> LONG { return link_->settings.linkType == LinkType::RS485 ? 1 : 0; });
}
HRESULT CVNXHost::put_IsRS485(LONG) {
  return CommGuard::Do([&] {
    if (link_->settings.linkType != LinkType::RS485) throw CVNXException(ErrorCode::InvalidData);
  });
}

HRESULT CVNXHost::InitRS485(LONG count, LONG channel) {
  return CommGuard::Do([&] {
    if (!link_->IsOpen()) throw CVNXException(ErrorCode::PortNotOpen);
    if (count < 1 || count > kMostDeclaredMotors) throw CVNXException(ErrorCode::InvalidData);
    const std::int32_t selected = link_->CurrentAddress();
    motors_.Clear();
    for (LONG address = 1; address <= count; ++address) motors_.Add(address, link_);
    link_->motorCount = count;
    link_->settings.rs485Channel = channel;
    link_->settings.linkType = LinkType::RS485;
    const bool second = channel == 1;
    try {
      link_->SendCommand(second ? "WAKE1" : "WAKE", 0, true);
    } catch (const CVNXException&) {
      // Nothing is probed: a bus without answers is still declared.
    }
    link_->SetEcho(false);
    link_->SendCommand("END", 0, true);
    link_->SelectMotor(selected);
  });
}

}  // namespace velkor::engine
