#pragma once
// How the host link finds the motors' own connections on a network or USB
// link.
// The motor list owns the connections (one per motor record); the link only
// looks them up through this view, so that the link does not depend on the
// motor records.

#include <cstdint>
#include <vector>

namespace velkor::engine {

class NetConnection;
class UsbPort;

class MotorConnections {
 public:
  virtual ~MotorConnections() = default;
  // Whether a listed motor has this address.
  virtual bool HasMotor(std::int32_t address) const = 0;
  // The connection of the motor at this address; null when it has none.
  virtual NetConnection* NetConnectionAt(std::int32_t address) const = 0;
  // The connections of the listed motors in list order, motors without one
  // left out.
  virtual std::vector<NetConnection*> NetConnections() const = 0;
  // The same for the motors' USB adapters.
  virtual UsbPort* UsbPortAt(std::int32_t address) const = 0;
  virtual std::vector<UsbPort*> UsbPorts() const = 0;
};

}  // namespace velkor::engine
