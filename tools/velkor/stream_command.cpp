#include "tools/velkor/stream_command.h"

#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/velkor/progress.h"
#include "tools/velkor/sample_table.h"
#include "tools/velkor/session.h"

namespace velkor::client {
namespace {

constexpr VNX_WPARAM kStreamingPhase = 100;  // a phase of the client's own, not an engine code

// The table of a file, checked whole; an error text naming the file and
// the line when it is not a table of samples.
std::optional<std::string> ReadSamples(const std::string& file, std::size_t axes, std::vector<Sample>& samples) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return "cannot read " + file;
  std::ostringstream text;
  text << in.rdbuf();
  const auto problem = ParseSampleTable(text.str(), axes, samples);
  if (!problem) return std::nullopt;
  return file + (problem->line ? ":" + std::to_string(problem->line) + ": " : " ") + problem->message;
}

}  // namespace

int Stream(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err) {
  constexpr std::string_view ownFlags[] = {"--motors"};
  PortOptions options;
  if (auto problem = ParsePortOptions(arguments, ownFlags, options)) {
    std::fprintf(err, "velkor: %s (try 'velkor --help')\n", problem->c_str());
    return kEngineFailure;
  }
  LONG motors = 0;
  std::vector<std::string> files;
  for (std::size_t i = 0; i < options.rest.size(); ++i) {
    if (options.rest[i] == "--motors" && i + 1 < options.rest.size()) {
      if (!ParseDecimal(options.rest[++i], motors)) motors = 0;
    } else {
      files.push_back(options.rest[i]);
    }
  }
  if (motors < 1 || motors > 6 || files.size() != 1) {
    std::fprintf(err, "velkor: stream needs --motors N (1 to 6) and one table: velkor stream --port P --motors N FILE.csv\n");
    return kEngineFailure;
  }
  std::vector<Sample> samples;
  if (auto problem = ReadSamples(files.front(), static_cast<std::size_t>(motors), samples)) {
    std::fprintf(err, "velkor: %s\n", problem->c_str());
    return kEngineFailure;
  }

  // Motors 1 .. N must be known to the host: declared on a bus, found on a
  // chain, the highest of them standing for all.
  options.address = motors;
  Session session(out, err);
  if (int status = session.Connect(options)) return status;
  ComPtr<IVNXMotor> highest;
  if (!session.Motor(options, highest)) return kEngineFailure;
  ComPtr<IVNXCMotion> motion;
  HRESULT status = session.Host().QueryInterface(IID_IVNXCMotion, motion.OutVoid());
  if (FAILED(status)) return session.Failed("host mode", status);
  if (FAILED(status = motion->Initialize(motors))) return session.Failed("entering host mode", status);

  ProgressBar bar(err, {{kStreamingPhase, "streaming"}});
  InterruptAsCancel cancelOnCtrlC;
  bar.Note(kStreamingPhase, static_cast<VNX_LPARAM>(samples.size()));
  std::size_t sent = 0;
  for (const Sample& sample : samples) {
    if (InterruptAsCancel::Interrupted()) break;
    for (LONG motor = 1; motor <= motors; ++motor) {
      if (FAILED(status = motion->WritePosition(motor, sample.positions[static_cast<std::size_t>(motor - 1)]))) {
        bar.Finish(false);
        return session.Failed("sample " + std::to_string(sent + 1), status);
      }
    }
    if (FAILED(status = motion->WriteClock(0, sample.clock))) {
      bar.Finish(false);
      return session.Failed("the clock of sample " + std::to_string(sent + 1), status);
    }
    bar.Note(2, static_cast<VNX_LPARAM>(++sent));
  }
  bar.Finish(sent == samples.size());
  // The motors finish the buffered samples and stay where the table ends
  // (or where it was stopped), in position mode.
  if (FAILED(status = motion->EndHostMode())) return session.Failed("ending host mode", status);
  std::fprintf(out, "%s %zu of %zu samples to %ld motor(s)\n", sent == samples.size() ? "streamed" : "stopped after",
               sent, samples.size(), static_cast<long>(motors));
  return kDone;
}

}  // namespace velkor::client
