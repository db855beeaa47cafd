#include "engine/motor/motor_list.h"

#include <utility>

#include "engine/core/errors.h"

namespace velkor::engine {

namespace {
void LetGo(MotorRecord& record) {
  record.Detach();
  record.listPosition = -1;
  record.netConnection.reset();  // a VNXMotor may keep the record, not the motor's connection
  record.usbPort.reset();
}
}  // namespace

void MotorList::Clear() {
  for (auto& record : records_) LetGo(*record);
  records_.clear();
  for (auto& slot : table_) slot.reset();
}

void MotorList::Remove(const std::shared_ptr<MotorRecord>& record) {
  std::erase(records_, record);
  for (auto& slot : table_)
    if (slot.lock() == record) slot.reset();
  for (std::size_t position = 0; position < records_.size(); ++position)
    records_[position]->listPosition = static_cast<std::int32_t>(position);
  LetGo(*record);
}

NetConnection* MotorList::NetConnectionAt(std::int32_t address) const {
  auto record = At(address);
  return record ? record->netConnection.get() : nullptr;
}

std::vector<NetConnection*> MotorList::NetConnections() const {
  std::vector<NetConnection*> connections;
  for (const auto& record : records_)
    if (record->netConnection) connections.push_back(record->netConnection.get());
  return connections;
}

UsbPort* MotorList::UsbPortAt(std::int32_t address) const {
  auto record = At(address);
  return record ? record->usbPort.get() : nullptr;
}

std::vector<UsbPort*> MotorList::UsbPorts() const {
  std::vector<UsbPort*> ports;
  for (const auto& record : records_)
    if (record->usbPort) ports.push_back(record->usbPort.get());
  return ports;
}

std::shared_ptr<MotorRecord> MotorList::Add(std::int32_t address, const std::shared_ptr<HostLink>& link) {
  if (records_.size() >= kMaxMotors || !HasSlot(address)) throw CVNXException(ErrorCode::InvalidData);
  auto record = std::make_shared<MotorRecord>(address, link);
  record->listPosition = static_cast<std::int32_t>(records_.size());
  records_.push_back(record);
  table_[static_cast<std::size_t>(address)] = record;
  return record;
}

std::shared_ptr<MotorRecord> MotorList::At(std::int32_t address) const {
  if (!HasSlot(address)) return nullptr;
  return table_[static_cast<std::size_t>(address)].lock();
}

void MotorList::Readdress(MotorRecord& record, std::int32_t address) {
  if (!HasSlot(address)) throw CVNXException(ErrorCode::InvalidData);
  if (HasSlot(record.address)) {
    auto& old = table_[static_cast<std::size_t>(record.address)];
    if (old.lock().get() == &record) old.reset();
  }
  record.address = address;
  for (const auto& listed : records_) {
    if (listed.get() == &record) table_[static_cast<std::size_t>(address)] = listed;
  }
}

void MotorList::SwapPositions(std::size_t first, std::size_t second) {
  std::swap(records_.at(first), records_.at(second));
  records_[first]->listPosition = static_cast<std::int32_t>(first);
  records_[second]->listPosition = static_cast<std::int32_t>(second);
}

}  // namespace velkor::engine
