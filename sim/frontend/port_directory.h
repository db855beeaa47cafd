#pragma once
// Where simulated ports are published under a COMn name so that programs can
// open them by name. The registry's Ports key is the real one; tests may use
// their own.

#include <optional>
#include <string>

namespace velkor::sim {

class PortDirectory {
 public:
  virtual ~PortDirectory() = default;
  // Publishes `device` as COM`wanted`, or under the lowest free COM number
  // when nothing is wanted. The name used, or nothing when the wanted name
  // is taken or the directory cannot be written.
  virtual std::optional<std::string> Publish(std::optional<int> wanted, const std::string& device) = 0;
  // Removes the name, but only while it still names `device`.
  virtual void Withdraw(const std::string& name, const std::string& device) = 0;
  // Why the directory cannot be written, when that is known.
  virtual std::optional<std::string> Problem() const { return std::nullopt; }
};

}  // namespace velkor::sim
