#pragma once
// Simulated USB adapters for tests of USB links, listed in a device list
// file that the test points $VELKOR_USB_DEVICES at.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/frontend/simulator.h"
#include "tests/support/test_environment.h"

namespace velkor::testing {

// Simulated USB adapters, one a motor line ("motor ..."), after the lines
// already in the list file `devices` (`others`, written first).
inline std::unique_ptr<sim::Simulator> StartUsbAdapters(const std::vector<std::string>& motors,
                                                        const std::filesystem::path& devices,
                                                        const std::string& others = "") {
  if (!others.empty()) WriteFile(devices, others);
  std::string scenario = "port usb\n";
  for (const std::string& motor : motors) scenario += motor + "\n";
  auto parsed = sim::ParseScenario(scenario);
  if (!parsed.errors.empty()) {
    ADD_FAILURE() << sim::FormatError(parsed.errors.front());
    return nullptr;
  }
  std::string error;
  auto simulator = sim::Simulator::Start(parsed.scenario, sim::SimulatorOptions{nullptr, {}, devices}, error);
  if (!simulator) ADD_FAILURE() << error;
  return simulator;
}

}  // namespace velkor::testing
