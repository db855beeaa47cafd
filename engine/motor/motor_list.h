#pragma once
// The motors a host knows: an ordered list of at most 120 records and a
// table of 120 slots for addresses 0 to 119. The list owns its records;
// clearing it detaches them from the link, so that a VNXMotor still holding
// one gets an error instead of talking for a motor that is no longer known,
// and closes their network connections and USB ports.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/link/motor_connections.h"
#include "engine/motor/motor_record.h"

namespace velkor::engine {

class MotorList final : public MotorConnections {
 public:
  static constexpr std::size_t kMaxMotors = 120;
  static constexpr std::int32_t kTableSize = 120;  // addresses 0 to 119

  MotorList() = default;
  MotorList(const MotorList&) = delete;
  MotorList& operator=(const MotorList&) = delete;
  ~MotorList() override { Clear(); }

  // Detaches and drops every record; every slot becomes empty.
  void Clear();

  // A new record for `address` on `link`, appended and entered in the
  // table. Error 19 when the list is full or the address has no slot.
  std::shared_ptr<MotorRecord> Add(std::int32_t address, const std::shared_ptr<HostLink>& link);

  // Lets one record go as Clear does; the others keep their order.
  void Remove(const std::shared_ptr<MotorRecord>& record);

  // The record at an address; null for an empty slot or an address outside
  // the table.
  std::shared_ptr<MotorRecord> At(std::int32_t address) const;

  // Gives a listed record a new address: its old slot is emptied (when it
  // still refers to it) and the new one refers to it. Error 19 for an
  // address without a slot.
  void Readdress(MotorRecord& record, std::int32_t address);

  // Exchanges two list positions (used to sort the list by address).
  void SwapPositions(std::size_t first, std::size_t second);

  std::size_t Size() const { return records_.size(); }
  bool Empty() const { return records_.empty(); }
  const std::vector<std::shared_ptr<MotorRecord>>& Records() const { return records_; }

  // The view the host link uses on a network or USB link.
  bool HasMotor(std::int32_t address) const override { return At(address) != nullptr; }
  NetConnection* NetConnectionAt(std::int32_t address) const override;
  std::vector<NetConnection*> NetConnections() const override;
  UsbPort* UsbPortAt(std::int32_t address) const override;
  std::vector<UsbPort*> UsbPorts() const override;

  static bool HasSlot(std::int32_t address) { return address >= 0 && address < kTableSize; }

 private:
  std::vector<std::shared_ptr<MotorRecord>> records_;
  std::array<std::weak_ptr<MotorRecord>, kTableSize> table_{};
};

}  // namespace velkor::engine
