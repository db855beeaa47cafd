#pragma once
// Publishes simulated ports in the registry's Ports key (current user), where
// the serial layer looks COMn names up.

#include "sim/frontend/port_directory.h"

namespace velkor::sim {

class RegistryPortDirectory final : public PortDirectory {
 public:
  std::optional<std::string> Publish(std::optional<int> wanted, const std::string& device) override;
  void Withdraw(const std::string& name, const std::string& device) override;
};

}  // namespace velkor::sim
