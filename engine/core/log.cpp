#include "engine/core/log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>

namespace velkor::engine::log {

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Several host objects may log from different threads; one lock keeps the
// state and the lines whole.
struct LogState {
  std::mutex guard;
  std::uint32_t flags = 0;
  std::string fileName;
  std::unique_ptr<std::FILE, FileCloser> file;
};

LogState& State() {
  static LogState state;
  return state;
}

}  // namespace

std::uint32_t Flags() {
  std::lock_guard lock(State().guard);
  return State().flags;
}

void SetFlags(std::uint32_t flags) {
  std::lock_guard lock(State().guard);
  State().flags = flags;
}

std::string FileName() {
  std::lock_guard lock(State().guard);
  return State().fileName;
}

void SetFileName(std::string name) {
  std::lock_guard lock(State().guard);
  State().fileName = std::move(name);
  State().file.reset();
}

void Write(std::uint32_t category, std::string_view text) {
  LogState& state = State();
  std::lock_guard lock(state.guard);
  if (category == kCloseRequest) {
    state.file.reset();
    return;
  }
  if ((state.flags & category) == 0) return;
  if (!state.file) {
    if (state.fileName.empty()) return;
    state.file.reset(std::fopen(state.fileName.c_str(), (state.flags & kAppend) ? "a" : "w"));
    if (!state.file) return;
  }
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  std::fprintf(state.file.get(), "%02d:%02d:%02d.%03d %.*s\n", local.tm_hour, local.tm_min, local.tm_sec,
               static_cast<int>(milliseconds), static_cast<int>(text.size()), text.data());
  std::fflush(state.file.get());
}

}  // namespace velkor::engine::log
