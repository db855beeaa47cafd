#pragma once
// One motor session: every exchange with the motors runs on one worker
// thread, one job at a time, in the order the user acted, so that nothing
// interleaves on a line and a window never waits on a serial time-out. A
// job that shows something calls its view from the worker; a window's view
// hands such calls to its own thread.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace velkor::setup {

class MotorSession {
 public:
  MotorSession();
  // Finishes the job under way, drops the ones still queued.
  ~MotorSession();
  MotorSession(const MotorSession&) = delete;
  MotorSession& operator=(const MotorSession&) = delete;

  // A job the user asked for: it runs after every job posted before it.
  void Post(std::function<void()> job);
  // A status tick: taken only while nothing else waits or runs, so that a
  // poll never delays what the user asked for (false: dropped).
  bool PostTick(std::function<void()> tick);
  // Returns when every job posted so far has run.
  void Drain();
  // A job is waiting, or the session is ending: a job that could go on
  // for as long as it likes (the plot's poll) returns then.
  bool Interrupted();

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool running_ = false;  // a job is under way
  bool stopping_ = false;
  std::thread worker_;  // last: it starts once the rest is ready
};

}  // namespace velkor::setup
