// Command round trips to one motor behind a network adapter: the host link
// on a network sends each command in pieces of 8 bytes with a fixed 5 ms
// pause after each, then reads the answer from the motor's connection. The
// simulated adapter passes the bytes to and from its motor at the motor's
// line rate (paced), so a round trip is the pauses, the command's and the
// answer's characters on the serial side, and the motor's reply time.
// Reported: round trips per second, the share of the time spent in the
// pauses, and the share spent beyond the serial side's own time, which is
// what the pauses cost where they outlast the line.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/link/host_link.h"
#include "engine/link/motor_connection.h"
#include "engine/link/motor_connections.h"
#include "engine/link/net_connection.h"
#include "sim/frontend/simulator.h"

namespace {

constexpr std::size_t kAnswerSize = 100;

using velkor::engine::NetConnection;
using velkor::engine::UsbPort;

// The one motor of the benchmark at address 1, as the motor list would show
// it to the link.
class OneNetMotor : public velkor::engine::MotorConnections {
 public:
  explicit OneNetMotor(NetConnection& connection) : connection_(connection) {}
  bool HasMotor(std::int32_t address) const override { return address == 1; }
  NetConnection* NetConnectionAt(std::int32_t address) const override {
    return address == 1 ? &connection_ : nullptr;
  }
  std::vector<NetConnection*> NetConnections() const override { return {&connection_}; }
  UsbPort* UsbPortAt(std::int32_t) const override { return nullptr; }
  std::vector<UsbPort*> UsbPorts() const override { return {}; }

 private:
  NetConnection& connection_;
};

// `command` goes out framed (the address byte 0x80, the text, CR); its
// answer is a line.
void RoundTrips(benchmark::State& state, const std::string& command) {
  const int baud = static_cast<int>(state.range(0));
  auto parsed = velkor::sim::ParseScenario("port net discovery=off pace\nmotor baud=" + std::to_string(baud) +
                                           " firmware=441 listen=127.0.0.2:0\n");
  std::string error;
  auto simulator = velkor::sim::Simulator::Start(parsed.scenario, nullptr, error);
  if (!simulator) {
    state.SkipWithError(error.c_str());
    return;
  }
  const auto& adapter = simulator->AdapterEndpoint(0, 0);
  NetConnection connection;
  if (!connection.Connect(adapter.address, adapter.port, 1000)) {
    state.SkipWithError("cannot connect to the simulated adapter");
    return;
  }
  OneNetMotor motors(connection);
  velkor::engine::HostLink link;
  link.settings.linkType = velkor::engine::LinkType::Ethernet;
  link.settings.timeout = 1000;
  link.UseMotorConnections(&motors);
  link.SelectMotor(1);

  std::size_t answerLength = link.Exchange(1, command, true, kAnswerSize).size();
  std::int64_t trips = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    benchmark::DoNotOptimize(link.Exchange(1, command, true, kAnswerSize));
    ++trips;
  }
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::size_t frame = command.size() + 2;
  const std::size_t pieces = (frame + velkor::engine::connection::kPiece - 1) / velkor::engine::connection::kPiece;
  const double pauses = static_cast<double>(trips * static_cast<std::int64_t>(pieces)) *
                        std::chrono::duration<double>(velkor::engine::connection::kPiecePause).count();
  const double line = static_cast<double>(trips) * static_cast<double>(frame + answerLength + 1) * 10.0 / baud;
  state.counters["trips_per_s"] = static_cast<double>(trips) / took;
  state.counters["pause_share"] = pauses / took;
  state.counters["line_share"] = line / took;
  std::printf("\"%s\" at %d baud over a loopback adapter: %.1f round trips/s; %.0f %% of the time in the %zu "
              "pause(s) of 5 ms, %.0f %% beyond the serial side's own time\n",
              command.c_str(), baud, static_cast<double>(trips) / took, 100 * pauses / took, pieces,
              std::max(0.0, 100 * (took - line) / took));
  connection.Close();
}

void ShortQuery(benchmark::State& state) { RoundTrips(state, "RSP"); }
// The same answer for a frame of two pieces (10 bytes): the motor skips the spaces.
void LongerQuery(benchmark::State& state) { RoundTrips(state, "RSP     "); }

BENCHMARK(ShortQuery)->Arg(9600)->Arg(38400)->Iterations(200)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(LongerQuery)->Arg(38400)->Iterations(200)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
