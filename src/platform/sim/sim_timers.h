#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "platform/clock.h"
#include "platform/timers.h"

namespace veltra::sim {

// Thread timers on the virtual clock, like SetTimer without a window: the requested id is
// ignored and a fresh non-zero id returned; a timer fires every period (at least 10 ms, as
// USER_TIMER_MINIMUM) until it is killed. Nothing fires by itself: RunDueTimers() fires the
// timers whose time has come, once each, on the calling thread (a test advances the clock and
// calls it; a front end calls it from its event loop). Thread-safe; callbacks run unlocked and
// may set and kill timers.
class SimTimers final : public platform::Timers {
 public:
  static constexpr uint32_t kMinimumMs = 10;

  explicit SimTimers(platform::Clock& clock) : clock_(clock) {}

  platform::TimerId SetTimer(platform::TimerId requestedId, uint32_t milliseconds,
                             std::function<void(platform::TimerId)> callback) override;
  bool KillTimer(platform::TimerId id) override;

  // Fires the due timers in order of due time; returns how many fired.
  int RunDueTimers();
  bool IsActive(platform::TimerId id) const;
  size_t ActiveCount() const;
  std::optional<int64_t> NextDueNs() const;  // the earliest due time, if any timer is set

 private:
  struct Timer {
    int64_t periodNs = 0;
    int64_t dueNs = 0;
    std::function<void(platform::TimerId)> callback;
  };

  platform::Clock& clock_;
  mutable std::mutex mutex_;
  std::map<platform::TimerId, Timer> timers_;
  platform::TimerId nextId_ = 1;
};

}  // namespace veltra::sim
