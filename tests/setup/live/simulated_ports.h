#pragma once
// Simulated ports published in a registry of the test's own, as COM names a
// scan can be confined to.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sim/frontend/registry_directory.h"
#include "sim/frontend/simulator.h"
#include "tests/support/test_environment.h"

namespace velkor::setup::testing {

class SimulatedPorts : public ::testing::Test {
 protected:
  void Start(const std::string& scenario) {
    auto parsed = sim::ParseScenario(scenario);
    ASSERT_TRUE(parsed.errors.empty());
    std::string error;
    simulator_ = sim::Simulator::Start(parsed.scenario, &directory_, error);
    ASSERT_TRUE(simulator_) << error;
  }
  int Com(std::size_t port) const { return std::stoi(simulator_->PortName(port).substr(3)); }

  velkor::testing::TemporaryRegistry registry_;
  sim::RegistryPortDirectory directory_;
  std::unique_ptr<sim::Simulator> simulator_;
};

}  // namespace velkor::setup::testing
