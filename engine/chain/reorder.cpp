// Moving one motor, known by its serial number, to a chosen address.

#include <string>

#include "engine/chain/chain.h"
#include "engine/chain/scan_steps.h"
#include "engine/motor/info_block.h"
#include "engine/motor/motor_memory.h"

namespace velkor::engine {

namespace {

// Where a motor waits while another takes its address.
constexpr std::int32_t kParkingAddress = 114;

std::string SerialTextOf(MotorRecord& motor) {
  const std::uint32_t serial = motor.infoBlock
                                   ? BigEndianLong(*motor.infoBlock, info_block::kSerialNumber)
                                   : static_cast<std::uint32_t>(ReadMotorLong(motor, motor_memory::kSerialNumber));
  return SerialNumberText(serial);
}

void RecordAddress(MotorRecord& motor) {
  WriteMotorByte(motor, motor_memory::kAssignedAddress, static_cast<std::uint8_t>(motor.address));
}

}  // namespace

std::int32_t ReorderMotors(Chain chain, std::int32_t address, std::string_view serialNumber) {
  if (serialNumber.empty() || address == 0 || !MotorList::HasSlot(address)) throw CVNXException(ErrorCode::InvalidData);
  HostLink& link = *chain.link;
  MotorList& motors = chain.motors;
  std::shared_ptr<MotorRecord> moving;
  for (const auto& motor : motors.Records()) {
    if (SerialTextOf(*motor) == serialNumber) {
      moving = motor;
      break;
    }
  }
  if (!moving) return -1;
  const std::int32_t oldAddress = moving->address;
  if (oldAddress == address) return address;
  const bool serial = link.settings.linkType == LinkType::RS232 || link.settings.linkType == LinkType::RS485;
  std::shared_ptr<MotorRecord> occupant = motors.At(address);
  if (!occupant) {
    if (serial) {
      moving->MotorGetResponse("RBs");  // a motor that does not answer is not moved
      link.SendCommand("SADDR" + std::to_string(address), oldAddress, false);
    }
    motors.Readdress(*moving, address);
    if (serial) RecordAddress(*moving);
    return 0;
  }
  if (serial) {
    moving->MotorGetResponse("RBs");
    occupant->MotorGetResponse("RBs");
    link.SendCommand("SADDR" + std::to_string(kParkingAddress), oldAddress, false);
    link.SendCommand("SADDR" + std::to_string(oldAddress), address, false);
    link.SendCommand("SADDR" + std::to_string(address), kParkingAddress, false);
  }
  motors.Readdress(*occupant, oldAddress);
  motors.Readdress(*moving, address);
  if (serial) {
    RecordAddress(*occupant);
    RecordAddress(*moving);
  }
  return oldAddress;
}

}  // namespace velkor::engine
