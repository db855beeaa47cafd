#pragma once
// Scenario files: the ports to simulate, how their motors are wired, the
// motors themselves and the faults to inject. The format is described in
// sim/scenarios/README.md.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/lines/line.h"

namespace velkor::sim {

struct PortScenario {
  std::optional<int> comNumber;  // "COM3" -> 3; nothing: the first free one
  Wiring wiring = Wiring::Chain;
  bool pace = false;
  BusCollisions collisions = BusCollisions::Garbage;
  std::vector<MotorSetup> motors;
};

struct Scenario {
  std::vector<PortScenario> ports;
};

struct ScenarioError {
  int line;  // 1-based; 0 for the file as a whole
  std::string message;
};

struct ScenarioParse {
  Scenario scenario;
  std::vector<ScenarioError> errors;  // empty when the scenario is usable
};

// Program files named in the text are read relative to `folder` (the
// current directory when it is empty); LoadScenario uses the file's folder.
ScenarioParse ParseScenario(std::string_view text, const std::filesystem::path& folder = {});
ScenarioParse LoadScenario(const std::filesystem::path& file);

// "line 4: unknown key 'baudrate'"
std::string FormatError(const ScenarioError& error);

}  // namespace velkor::sim
