#include "platform/sim/sim_clock.h"

#include <algorithm>
#include <thread>

namespace veltra::sim {

namespace {

int64_t Elapsed(std::chrono::steady_clock::time_point from,
                std::chrono::steady_clock::time_point to) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count();
}

}  // namespace

int64_t SimClock::NowLocked(Steady::time_point real) {
  if (follow_) virtual_ = std::max(virtual_, followVirtualBase_ + Elapsed(followRealBase_, real));
  return virtual_;
}

int64_t SimClock::NowNs() {
  std::lock_guard lock(mutex_);
  return NowLocked(Steady::now());
}

void SimClock::Advance(int64_t ns) {
  int64_t target = 0;
  {
    std::lock_guard lock(mutex_);
    virtual_ = NowLocked(Steady::now()) + std::max<int64_t>(ns, 0);
    target = virtual_;
  }
  Pace(target);
}

void SimClock::WaitUntilNs(int64_t deadline) {
  {
    std::lock_guard lock(mutex_);
    virtual_ = std::max(NowLocked(Steady::now()), deadline);
  }
  Pace(deadline);
}

void SimClock::Pace(int64_t target) {
  Steady::time_point wakeUp;
  {
    std::lock_guard lock(mutex_);
    if (!pacing_) return;
    wakeUp = paceRealBase_ + std::chrono::nanoseconds(target - paceVirtualBase_);
  }
  // Outside the lock: other threads keep reading time. MinGW's sleep may end a little early.
  while (Steady::now() < wakeUp)
    std::this_thread::sleep_until(wakeUp);
}

void SimClock::SetFollowRealTime(bool on) {
  std::lock_guard lock(mutex_);
  const Steady::time_point real = Steady::now();
  NowLocked(real);
  follow_ = on;
  followRealBase_ = real;
  followVirtualBase_ = virtual_;
}

void SimClock::SetPacing(bool on) {
  std::lock_guard lock(mutex_);
  const Steady::time_point real = Steady::now();
  pacing_ = on;
  paceRealBase_ = real;
  paceVirtualBase_ = NowLocked(real);
}

}  // namespace veltra::sim
