#pragma once
// Publishes simulated ports in the registry's Ports key (current user), where
// the serial layer looks COMn names up, and the network settings by which the
// engine reaches simulated network adapters.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/frontend/port_directory.h"
#include "platform/registry/registry.h"

namespace velkor::sim {

class RegistryPortDirectory final : public PortDirectory {
 public:
  std::optional<std::string> Publish(std::optional<int> wanted, const std::string& device) override;
  void Withdraw(const std::string& name, const std::string& device) override;
  std::optional<std::string> Problem() const override { return registry::HiveProblem(registry::Hive::CurrentUser); }
};

// The engine's network settings (current user) pointed at a simulator's
// discovery responder and adapters for as long as this lives; afterwards each
// value that still holds what was written gets back what it held before.
class PublishedNetworkSettings {
 public:
  struct Setting {
    std::string name;
    registry::Value value;
  };
  // The discovery query goes to `discovery` (from a port the system picks,
  // because the responder holds its own), and the adapters' connections to
  // `motorPort` when they all share one.
  static std::vector<Setting> For(const std::string& discoveryAddress, std::uint16_t discoveryPort,
                                  std::optional<std::uint16_t> motorPort);
  explicit PublishedNetworkSettings(std::vector<Setting> settings);
  ~PublishedNetworkSettings();
  PublishedNetworkSettings(const PublishedNetworkSettings&) = delete;
  PublishedNetworkSettings& operator=(const PublishedNetworkSettings&) = delete;
  bool Written() const { return written_; }

 private:
  std::vector<Setting> settings_;
  std::vector<std::optional<registry::Value>> previous_;
  bool keyExisted_ = false;
  bool written_ = false;
};

}  // namespace velkor::sim
