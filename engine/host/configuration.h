#pragma once
// The configuration a new host object reads from the registry.

#include <cstdint>
#include <optional>
#include <string>

#include "engine/link/host_link.h"
#include "platform/registry/registry.h"

namespace velkor::engine {

inline constexpr std::string_view kConfigurationKey = registry::kCommSettingsKey;

// The values found; an absent value (or one of another type) is nullopt and
// leaves the field as it was.
struct StoredConfiguration {
  std::optional<std::int32_t> txMaxRetry;
  std::optional<std::int32_t> txTimeoutMul;
  std::optional<std::int32_t> txTimeoutConst;
  std::optional<std::int32_t> echoTimeoutMul;
  std::optional<std::int32_t> echoTimeoutConst;
  std::optional<std::string> logFileName;
  std::optional<std::uint32_t> logFlags;
  // Where a network link looks for its motors.
  std::optional<std::string> netBroadcastAddress;
  std::optional<std::int32_t> netDiscoveryPort;
  std::optional<std::int32_t> netDiscoveryLocalPort;
  std::optional<std::int32_t> netMotorPort;
};

// The user's key when it exists, else the machine's; nothing when neither.
StoredConfiguration ReadStoredConfiguration();

// Puts the values into the link and the process-wide log settings.
void ApplyConfiguration(const StoredConfiguration& stored, HostLink& link);

}  // namespace velkor::engine
