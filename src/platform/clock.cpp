#include "platform/clock.h"

#include <chrono>

namespace veltra::platform {

int64_t SteadyClock::NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SteadyClock::WaitUntilNs(int64_t deadline) {
  while (NowNs() < deadline) {
  }
}

}  // namespace veltra::platform
