#include "setup/live/session.h"

namespace velkor::setup {

MotorSession::MotorSession() : worker_([this] { Run(); }) {}

MotorSession::~MotorSession() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  changed_.notify_all();
  worker_.join();
}

void MotorSession::Post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  changed_.notify_all();
}

bool MotorSession::PostTick(std::function<void()> tick) {
  {
    std::lock_guard lock(mutex_);
    if (running_ || !jobs_.empty()) return false;
    jobs_.push_back(std::move(tick));
  }
  changed_.notify_all();
  return true;
}

void MotorSession::Drain() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return (jobs_.empty() && !running_) || stopping_; });
}

bool MotorSession::Interrupted() {
  std::lock_guard lock(mutex_);
  return !jobs_.empty() || stopping_;
}

void MotorSession::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
    if (stopping_) return;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    job();  // a job reports its own failures: nothing may escape the worker
    lock.lock();
    running_ = false;
    changed_.notify_all();
  }
}

}  // namespace velkor::setup
