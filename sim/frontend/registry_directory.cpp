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

std::vector<PublishedNetworkSettings::Setting> PublishedNetworkSettings::For(const std::string& discoveryAddress,
                                                                             std::uint16_t discoveryPort,
                                                                             std::optional<std::uint16_t> motorPort) {
  std::vector<Setting> settings{{"NetBroadcastAddress", registry::Value{discoveryAddress}},
                                {"NetDiscoveryPort", registry::Value{std::uint32_t{discoveryPort}}},
                                {"NetDiscoveryLocalPort", registry::Value{std::uint32_t{0}}}};
  if (motorPort) settings.push_back({"NetMotorPort", registry::Value{std::uint32_t{*motorPort}}});
  return settings;
}

PublishedNetworkSettings::PublishedNetworkSettings(std::vector<Setting> settings) : settings_(std::move(settings)) {
  written_ = registry::Edit(registry::Hive::CurrentUser, [&](registry::HiveContents& contents) {
    previous_.clear();
    keyExisted_ = contents.HasKey(registry::kCommSettingsKey);
    for (const Setting& setting : settings_) {
      previous_.push_back(contents.Get(registry::kCommSettingsKey, setting.name));
      contents.Set(registry::kCommSettingsKey, setting.name, setting.value);
    }
    return true;
  });
}

PublishedNetworkSettings::~PublishedNetworkSettings() {
  if (!written_) return;
  registry::Edit(registry::Hive::CurrentUser, [&](registry::HiveContents& contents) {
    bool changed = false;
    for (std::size_t i = 0; i < settings_.size(); ++i) {
      // A value changed since is someone else's by now: leave it.
      if (contents.Get(registry::kCommSettingsKey, settings_[i].name) != settings_[i].value) continue;
      if (previous_[i]) {
        contents.Set(registry::kCommSettingsKey, settings_[i].name, *previous_[i]);
      } else {
        contents.DeleteValue(registry::kCommSettingsKey, settings_[i].name);
      }
      changed = true;
    }
    // A key of our own making that is empty again would hide the machine's
    // settings from the engine.
    if (!keyExisted_ && contents.ValueNames(registry::kCommSettingsKey).empty() &&
        contents.SubKeyNames(registry::kCommSettingsKey).empty()) {
      changed = contents.DeleteKeyTree(registry::kCommSettingsKey) || changed;
    }
    return changed;
  });
}

}  // namespace velkor::sim
