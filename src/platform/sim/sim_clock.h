#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>

#include "platform/clock.h"

namespace veltra::sim {

// Virtual nanoseconds, starting at 0. Advance() moves the clock, WaitUntilNs() jumps to the
// deadline, so transfers are deterministic and tests fast. Two options for a person at the tool:
// FollowRealTime (from the moment it is switched on, virtual time never lags the real time that
// has passed, so a person's pause lets a write cycle finish) and Pacing (Advance and WaitUntilNs
// sleep until real time has caught up with virtual time, so a transfer runs at its real speed).
// Thread-safe.
class SimClock final : public platform::Clock {
 public:
  int64_t NowNs() override;
  void WaitUntilNs(int64_t deadline) override;
  void Advance(int64_t ns);
  void SetFollowRealTime(bool on);
  void SetPacing(bool on);

 private:
  using Steady = std::chrono::steady_clock;
  int64_t NowLocked(Steady::time_point real);
  void Pace(int64_t target);

  std::mutex mutex_;
  int64_t virtual_ = 0;
  bool follow_ = false;
  Steady::time_point followRealBase_;
  int64_t followVirtualBase_ = 0;
  bool pacing_ = false;
  Steady::time_point paceRealBase_;
  int64_t paceVirtualBase_ = 0;
};

}  // namespace veltra::sim
