// velkor-sim SCENARIO [--pace]: serves the scenario's motors on pseudo-
// terminals and loopback network adapters until SIGINT or SIGTERM, then
// removes the port names, network settings and USB devices it published.
// Lines on standard input let the operator set a motor's inputs and status
// bits while it runs ("input COM3 2 A 0", "status 1 1 e 1") and see how a
// motor stands ("show COM3 2").
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "sim/frontend/registry_directory.h"
#include "sim/scenario/scenario.h"
#include "sim/frontend/simulator.h"

namespace {

// "COM3" or a 1-based position in the scenario.
std::optional<std::size_t> FindPort(const velkor::sim::Simulator& simulator, const std::string& word) {
  for (std::size_t i = 0; i < simulator.PortCount(); ++i) {
    if (simulator.PortName(i) == word || std::to_string(i + 1) == word) return i;
  }
  return std::nullopt;
}

// One line for people: where the motor is and what its program does.
std::string Shown(const velkor::sim::Firmware& motor) {
  std::string bits;
  for (char letter : std::string("tokeahs")) {
    if (motor.Status(letter).value_or(false)) bits += letter;
  }
  const velkor::sim::ProgramMachine& program = motor.Machine();
  char text[256];
  std::snprintf(text, sizeof text, "position %.0f, mode %c, status bits [%s], outputs UA..UF %d%d%d%d%d%d, program %s",
                motor.Motion().Position(), motor.Mode(), bits.c_str(), motor.Outputs() & 1, motor.Outputs() >> 1 & 1,
                motor.Outputs() >> 2 & 1, motor.Outputs() >> 3 & 1, motor.Outputs() >> 4 & 1,
                motor.Outputs() >> 5 & 1, motor.ProgramRunning() ? "running" : "stopped");
  std::string shown = text;
  if (motor.ProgramRunning()) {
    shown += " at line " + std::to_string(program.Line()) + " (offset " + std::to_string(program.Counter()) +
             "), GOSUB depth " + std::to_string(program.ReturnDepth());
  }
  if (!motor.ReceivedLines().empty()) shown += ", last command \"" + motor.ReceivedLines().back() + "\"";
  return shown;
}

void OperatorCommand(velkor::sim::Simulator& simulator, const std::string& line) {
  std::istringstream words(line);
  std::string verb, port, letter;
  std::size_t motor = 0;
  int level = 0;
  if (!(words >> verb)) return;
  if (verb == "show" && words >> port >> motor) {
    auto index = FindPort(simulator, port);
    if (index && motor >= 1 && motor <= simulator.MotorCount(*index)) {
      std::printf("%s\n", simulator.WithMotor(*index, motor - 1, [](velkor::sim::Firmware& m) { return Shown(m); }).c_str());
    } else {
      std::printf("no such port or motor\n");
    }
    std::fflush(stdout);
    return;
  }
  if (!(words >> port >> motor >> letter >> level) || letter.size() != 1 || (verb != "input" && verb != "status")) {
    std::printf("commands: input PORT MOTOR A..G 0|1, status PORT MOTOR e|h|a|s 0|1, show PORT MOTOR\n");
    std::fflush(stdout);
    return;
  }
  auto index = FindPort(simulator, port);
  bool done = false;
  if (index && motor >= 1) {
    if (motor <= simulator.MotorCount(*index)) {
      done = simulator.WithMotor(*index, motor - 1, [&](velkor::sim::Firmware& firmware) {
        return verb == "input" ? firmware.SetInput(letter[0], level != 0) : firmware.SetStatus(letter[0], level != 0);
      });
    }
  }
  std::printf("%s\n", done ? "ok" : "no such port, motor, input or status bit");
  std::fflush(stdout);
}

int Usage() {
  std::fprintf(stderr,
               "usage: velkor-sim SCENARIO [--pace]\n"
               "  serves the motors of SCENARIO (see sim/scenarios/README.md) on\n"
               "  pseudo-terminals published as COMn, loopback network adapters (whose\n"
               "  discovery address and ports it writes to the engine's settings) and\n"
               "  USB adapters listed in $VELKOR_USB_DEVICES, else in\n"
               "  $XDG_RUNTIME_DIR/velkor/usb-devices, until interrupted; then it takes\n"
               "  back all it published.\n"
               "  --pace  every character takes its line time (10 bits)\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* file = nullptr;
  bool pace = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--pace") == 0) {
      pace = true;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0 || file) {
      return Usage();
    } else {
      file = argv[i];
    }
  }
  if (!file) return Usage();

  velkor::sim::ScenarioParse parsed = velkor::sim::LoadScenario(file);
  for (const auto& error : parsed.errors) {
    std::fprintf(stderr, "%s: %s\n", file, velkor::sim::FormatError(error).c_str());
  }
  if (!parsed.errors.empty()) return 1;
  if (pace) {
    for (auto& port : parsed.scenario.ports) port.pace = true;
  }

  // The signals are read from a descriptor, not taken by a handler, so that
  // the simulator is torn down on this thread with its destructors.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  velkor::sim::RegistryPortDirectory directory;
  std::string error;
  auto simulator = velkor::sim::Simulator::Start(parsed.scenario, &directory, error);
  if (!simulator) {
    std::fprintf(stderr, "velkor-sim: %s\n", error.c_str());
    return 1;
  }
  for (const std::string& line : simulator->Describe()) std::printf("%s\n", line.c_str());
  // The engine finds the adapters with its registry settings; point them
  // here while the simulator serves, so that a scan needs no set-up.
  std::optional<velkor::sim::PublishedNetworkSettings> networkSettings;
  if (auto reach = simulator->Reach()) {
    networkSettings.emplace(velkor::sim::PublishedNetworkSettings::For(reach->discovery.address,
                                                                       reach->discovery.port, reach->motorPort));
    if (!networkSettings->Written()) {
      const auto problem = velkor::registry::HiveProblem(velkor::registry::Hive::CurrentUser);
      std::printf("could not write the network settings to the registry%s%s: set NetBroadcastAddress,\n"
                  "NetDiscoveryPort and NetDiscoveryLocalPort by hand (see the README)\n",
                  problem ? ": " : "", problem ? problem->c_str() : "");
    } else {
      std::printf("network settings published: discovery %s, local port any%s\n",
                  velkor::sim::EndpointText(reach->discovery).c_str(),
                  reach->motorPort ? (", adapters on TCP port " + std::to_string(*reach->motorPort)).c_str()
                                   : "; the adapters listen on different ports, so NetMotorPort is left alone");
    }
  }
  if (!simulator->UsbDeviceListFile().empty()) {
    std::printf("USB devices listed in %s\n", simulator->UsbDeviceListFile().c_str());
  }
  std::printf("serving; stop with Ctrl-C\n");
  std::fflush(stdout);

  int signals = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (signals < 0) {
    std::fprintf(stderr, "velkor-sim: cannot wait for signals\n");
    return 1;
  }
  bool readInput = true;
  std::string pending;
  int received = 0;
  while (received == 0) {
    pollfd fds[2] = {{signals, POLLIN, 0}, {readInput ? STDIN_FILENO : -1, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo info{};
      if (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        received = static_cast<int>(info.ssi_signo);
      }
    }
    if (fds[1].revents & (POLLIN | POLLHUP)) {
      char buffer[256];
      ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (n <= 0) {
        readInput = false;  // no operator: serve on until signalled
        continue;
      }
      pending.append(buffer, static_cast<std::size_t>(n));
      for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
        OperatorCommand(*simulator, pending.substr(0, end));
      }
    }
  }
  ::close(signals);
  simulator.reset();
  networkSettings.reset();
  std::printf("stopped (%s); port names, network settings and USB devices removed\n",
              received == SIGINT ? "SIGINT" : "SIGTERM");
  return 0;
}
