#pragma once
// Simulated network adapters on loopback addresses for tests of network
// links, and the engine's network settings in the test's registry so that
// the adapters and the discovery responder can sit on free ports.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/simulated_motors.h"

namespace velkor::testing {

// A port the system hands out for `type` on `address` right now.
inline std::uint16_t FreePort(const char* address, int type) {
  const int probe = ::socket(AF_INET, type, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  ::inet_pton(AF_INET, address, &local.sin_addr);
  socklen_t size = sizeof local;
  std::uint16_t port = 0;
  if (::bind(probe, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0 &&
      ::getsockname(probe, reinterpret_cast<sockaddr*>(&local), &size) == 0)
    port = ntohs(local.sin_port);
  ::close(probe);
  return port;
}

inline std::string AdapterAddress(std::size_t k) { return "127.0.0." + std::to_string(k + 2); }

struct NetworkAdapters {
  std::uint16_t motorPort = 0;
  std::unique_ptr<sim::Simulator> simulator;
};

// `motors` holds one "motor ..." line per adapter, each without `listen`:
// the k-th listens on AdapterAddress(k), all at one free port. `faults`
// follows the motors' lines. Writes the settings the engine needs to find
// them into `registryFile`.
inline NetworkAdapters StartAdapters(const std::vector<std::string>& motors, bool discovery,
                                     const std::string& faults, const std::filesystem::path& registryFile) {
  NetworkAdapters adapters;
  adapters.motorPort = FreePort("127.0.0.2", SOCK_STREAM);
  std::string scenario = discovery ? "port net discovery=127.0.0.1:0\n" : "port net discovery=off\n";
  for (std::size_t k = 0; k < motors.size(); ++k)
    scenario += motors[k] + " listen=" + AdapterAddress(k) + ":" + std::to_string(adapters.motorPort) + "\n";
  adapters.simulator = StartMotors(scenario + faults);
  if (!adapters.simulator) return adapters;
  const auto responder = adapters.simulator->DiscoveryEndpoint(0);
  // Without a responder the query goes to a port nobody listens on.
  const std::uint16_t discoveryPort = responder ? responder->port : FreePort("127.0.0.1", SOCK_DGRAM);
  char text[400];
  std::snprintf(text, sizeof text,
                "Windows Registry Editor Version 5.00\r\n\r\n"
                "[HKEY_CURRENT_USER\\SOFTWARE\\Trevano\\VNXEngine\\IVNXComm]\r\n"
                "\"NetBroadcastAddress\"=\"127.0.0.1\"\r\n"
                "\"NetDiscoveryPort\"=dword:%08x\r\n"
                "\"NetDiscoveryLocalPort\"=dword:00000000\r\n"
                "\"NetMotorPort\"=dword:%08x\r\n",
                static_cast<unsigned>(discoveryPort), static_cast<unsigned>(adapters.motorPort));
  std::ofstream(registryFile, std::ios::binary) << text;
  return adapters;
}

}  // namespace velkor::testing
