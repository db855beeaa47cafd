#pragma once
// Simulated motors for engine tests: a scenario started in-process on
// pseudo-terminals, reached by the engine through the device path.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim/frontend/simulator.h"

namespace velkor::testing {

inline std::unique_ptr<sim::Simulator> StartMotors(const std::string& scenario) {
  auto parsed = sim::ParseScenario(scenario);
  if (!parsed.errors.empty()) {
    ADD_FAILURE() << sim::FormatError(parsed.errors.front());
    return nullptr;
  }
  std::string error;
  auto simulator = sim::Simulator::Start(parsed.scenario, nullptr, error);
  if (!simulator) ADD_FAILURE() << error;
  return simulator;
}

}  // namespace velkor::testing
