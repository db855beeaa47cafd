#include "engine/host/configuration.h"

#include "engine/core/log.h"
#include "platform/registry/registry.h"

namespace velkor::engine {

namespace {
std::optional<std::int32_t> Number(const registry::HiveContents& hive, const char* name) {
  auto value = hive.Get(kConfigurationKey, name);
  if (!value) return std::nullopt;
  if (const auto* number = std::get_if<std::uint32_t>(&*value)) return static_cast<std::int32_t>(*number);
  return std::nullopt;
}

std::optional<std::string> Text(const registry::HiveContents& hive, const char* name) {
  auto value = hive.Get(kConfigurationKey, name);
  if (!value) return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&*value)) return *text;
  return std::nullopt;
}

// A port number out of range leaves the setting as it was; 0 only where
// the system may pick one.
void ApplyPort(const std::optional<std::int32_t>& stored, std::uint16_t& port, bool zeroAllowed) {
  if (stored && *stored >= (zeroAllowed ? 0 : 1) && *stored <= 65535) port = static_cast<std::uint16_t>(*stored);
}
}  // namespace

StoredConfiguration ReadStoredConfiguration() {
  StoredConfiguration stored;
  for (registry::Hive hive : {registry::Hive::CurrentUser, registry::Hive::LocalMachine}) {
    registry::HiveContents contents = registry::ReadHive(hive);
    if (!contents.HasKey(kConfigurationKey)) continue;
    stored.txMaxRetry = Number(contents, "TxMaxRetry");
    stored.txTimeoutMul = Number(contents, "TxTimeoutMul");
    stored.txTimeoutConst = Number(contents, "TxTimeoutConst");
    stored.echoTimeoutMul = Number(contents, "EchoTimeoutMul");
    stored.echoTimeoutConst = Number(contents, "EchoTimeoutConst");
    if (auto flags = Number(contents, "LogFlags")) stored.logFlags = static_cast<std::uint32_t>(*flags);
    stored.logFileName = Text(contents, "LogFileName");
    stored.netBroadcastAddress = Text(contents, "NetBroadcastAddress");
    stored.netDiscoveryPort = Number(contents, "NetDiscoveryPort");
    stored.netDiscoveryLocalPort = Number(contents, "NetDiscoveryLocalPort");
    stored.netMotorPort = Number(contents, "NetMotorPort");
    break;
  }
  return stored;
}

void ApplyConfiguration(const StoredConfiguration& stored, HostLink& link) {
  if (stored.txMaxRetry) link.settings.txMaxRetry = *stored.txMaxRetry;
  if (stored.txTimeoutMul) link.settings.txTimeoutMul = *stored.txTimeoutMul;
  if (stored.txTimeoutConst) link.settings.txTimeoutConst = *stored.txTimeoutConst;
  if (stored.echoTimeoutMul) link.settings.echoTimeoutMul = *stored.echoTimeoutMul < 1 ? -1 : *stored.echoTimeoutMul;
  if (stored.echoTimeoutConst) link.settings.echoTimeoutConst = *stored.echoTimeoutConst < 1 ? 100 : *stored.echoTimeoutConst;
  if (stored.logFileName) log::SetFileName(*stored.logFileName);
  if (stored.logFlags) log::SetFlags(*stored.logFlags);
  if (stored.netBroadcastAddress && !stored.netBroadcastAddress->empty())
    link.settings.net.broadcastAddress = *stored.netBroadcastAddress;
  ApplyPort(stored.netDiscoveryPort, link.settings.net.discoveryPort, false);
  ApplyPort(stored.netDiscoveryLocalPort, link.settings.net.discoveryLocalPort, true);
  ApplyPort(stored.netMotorPort, link.settings.net.motorPort, false);
}

}  // namespace velkor::engine
