#pragma once

#include "platform/timers.h"

namespace veltra::win32 {

// Thread timers: SetTimer without a window. The system picks the id (the requested one is
// passed on as the call takes it); the callback runs from the setting thread's message loop.
class Win32Timers final : public platform::Timers {
 public:
  ~Win32Timers() override;
  platform::TimerId SetTimer(platform::TimerId requestedId, uint32_t milliseconds,
                             std::function<void(platform::TimerId)> callback) override;
  bool KillTimer(platform::TimerId id) override;
};

}  // namespace veltra::win32
