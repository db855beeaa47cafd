// IVNXComm: motors behind USB serial adapters, one adapter device a motor,
// found in the USB library's device list by their description.

#include "engine/chain/chain.h"
#include "engine/core/errors.h"
#include "engine/host/comm_guard.h"
#include "engine/host/host_object.h"
#include "engine/link/usb_port.h"
#include "platform/usbxp/usbxp.h"

namespace velkor::engine {

namespace {

// A refusal: the result code, or the error when the flags ask for errors.
std::int32_t Refuse(LONG flags, std::int32_t result, ErrorCode error) {
  if (flags & scan_flag::kRaise) throw CVNXException(error);
  return result;
}

// The serial number of a motor adapter at `index`; none for another device
// or one whose strings cannot be read.
std::optional<std::string> MotorAdapterSerial(std::uint32_t index) {
  const auto description = usbxp::DeviceString(index, usbxp::ProductString::Description);
  if (!description.ok() || description.value != kUsbMotorDescription) return std::nullopt;
  auto serial = usbxp::DeviceString(index, usbxp::ProductString::SerialNumber);
  if (!serial.ok()) return std::nullopt;
  return std::move(serial.value);
}

}  // namespace

HRESULT CVNXHost::InitUSB(LONG maxAddress) {
  return CommGuard::Do([&] {
    link_->settings.linkType = LinkType::USB;
    link_->settings.maxMotors = maxAddress;
  });
}

HRESULT CVNXHost::DetectUSBMotors(LONG maxAddress, LONG flags, LONG* errorCode) {
  return CommGuard::Get(errorCode, [&]() -> LONG {
    if (!link_->IsUsb()) return Refuse(flags, scan_result::kNotUsb, ErrorCode::InvalidData);
    if (maxAddress < 1) return Refuse(flags, scan_result::kNotFound, ErrorCode::InvalidData);
    link_->settings.maxMotors = maxAddress;
    return DiscoverUsbMotors(flags);
  });
}

std::int32_t CVNXHost::DiscoverUsbMotors(LONG flags) {
  HostLink& link = *link_;
  const auto devices = usbxp::NumberOfDevices();
  if (!devices.ok()) return Refuse(flags, scan_result::kNotUsb, ErrorCode::NoLink);
  if (devices.value == 0) return Refuse(flags, scan_result::kNotFound, ErrorCode::NoLink);
  motors_.Clear();
  for (std::uint32_t index = 0; index < devices.value; ++index) {
    auto serial = MotorAdapterSerial(index);
    if (!serial) continue;
    std::int32_t address = 1;
    while (motors_.At(address)) ++address;
    // As on a network, the adapters take the addresses 1 to MaxMotors - 1.
    if (address >= link.settings.maxMotors) break;
    auto motor = motors_.Add(address, link_);
    motor->usbPort = std::make_unique<UsbPort>(std::move(*serial), static_cast<std::int32_t>(index));
    try {
      if (!motor->usbPort->Open()) {
        motors_.Remove(motor);
        continue;
      }
      motor->usbPort->SyncRate();
    } catch (const CVNXException&) {
      // An adapter that takes no rate or no bytes reaches no motor.
      motors_.Remove(motor);
      continue;
    }
    link.settings.rs485Channel = 0;
  }
  if (motors_.Empty() && (flags & scan_flag::kRaise)) throw CVNXException(ErrorCode::NoLink);
  link.SelectMotor(0);
  return motors_.Empty() ? scan_result::kNotFound : scan_result::kFound;
}

}  // namespace velkor::engine
