#pragma once

#include <cstdint>
#include <functional>

namespace veltra::platform {

using TimerId = uintptr_t;  // 0 = none

// Thread timers without a window (SetTimer(NULL, ...)): the callback runs on the thread that
// set the timer, from its event loop, until the timer is killed.
class Timers {
 public:
  virtual ~Timers() = default;
  virtual TimerId SetTimer(TimerId requestedId, uint32_t milliseconds,
                           std::function<void(TimerId)> callback) = 0;
  virtual bool KillTimer(TimerId id) = 0;
};

}  // namespace veltra::platform
