#pragma once
// The command-line client run as a separate program, as a user runs it.

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace velkor::testing {

// The folder of the test program, where the build puts the client and the
// engine library too.
inline std::filesystem::path BinaryFolder() { return std::filesystem::read_symlink("/proc/self/exe").parent_path(); }

struct ClientRun {
  int status = -1;     // the exit status
  std::string output;  // standard output and standard error together
};

// A shell command line run to its end, its output collected.
inline ClientRun RunShell(const std::string& script) {
  ClientRun run;
  std::FILE* pipe = popen(script.c_str(), "r");
  if (!pipe) return run;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) run.output += buffer;
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

inline std::string ClientProgram() { return (BinaryFolder() / "velkor").string(); }

inline ClientRun RunClient(const std::string& arguments) {
  return RunShell(ClientProgram() + " " + arguments + " 2>&1");
}

// The client started, then sent `signal` (INT, TERM) after `seconds`, as a
// user's Ctrl-C or a service manager's stop would.
inline ClientRun RunClientThenSignal(const std::string& arguments, const char* signal, int seconds = 1) {
  return RunShell("(" + ClientProgram() + " " + arguments + " & p=$!; sleep " + std::to_string(seconds) + "; kill -" +
                  signal + " $p; wait $p) 2>&1");
}

}  // namespace velkor::testing
