#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace veltra::app {

// An auto-reset event: Set() releases exactly one waiter (or the next one to wait), and the
// event falls back to not signalled as that waiter leaves.
class AutoResetEvent {
 public:
  void Set() {
    {
      std::lock_guard lock(mutex_);
      signalled_ = true;
    }
    condition_.notify_one();
  }

  void Wait() {
    std::unique_lock lock(mutex_);
    condition_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
  }

  // False when the time ran out before the event was set.
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!condition_.wait_for(lock, timeout, [this] { return signalled_; })) return false;
    signalled_ = false;
    return true;
  }

  bool IsSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable condition_;
  bool signalled_ = false;
};

}  // namespace veltra::app
