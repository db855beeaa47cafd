#include "sim/frontend/registry_directory.h"

#include "platform/registry/registry.h"

namespace velkor::sim {

namespace registry = velkor::registry;

std::optional<std::string> RegistryPortDirectory::Publish(std::optional<int> wanted, const std::string& device) {
  std::optional<std::string> chosen;
  // Choosing and writing in one locked edit: two simulators starting at once
  // cannot take the same name.
  bool written = registry::Edit(registry::Hive::CurrentUser, [&](registry::HiveContents& contents) {
    auto taken = [&](int number) {
      return contents.Get(registry::kPortsKey, "COM" + std::to_string(number)).has_value();
    };
    int number = 0;
    if (wanted) {
      if (taken(*wanted)) return false;
      number = *wanted;
    } else {
      for (int candidate = 1; candidate <= 256 && number == 0; ++candidate) {
        if (!taken(candidate)) number = candidate;
      }
      if (number == 0) return false;
    }
    chosen = "COM" + std::to_string(number);
    contents.Set(registry::kPortsKey, *chosen, registry::Value{device});
    return true;
  });
  if (!written) return std::nullopt;
  return chosen;
}

void RegistryPortDirectory::Withdraw(const std::string& name, const std::string& device) {
  registry::Edit(registry::Hive::CurrentUser, [&](registry::HiveContents& contents) {
    auto value = contents.Get(registry::kPortsKey, name);
    auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
    if (!text || *text != device) return false;  // someone else's by now: leave it
    return contents.DeleteValue(registry::kPortsKey, name);
  });
}

}  // namespace velkor::sim
