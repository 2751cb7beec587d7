#pragma once

#include <cstdint>

namespace veltra::platform {

// Monotonic time for the transport's waits and time-outs. The simulator runs it on a virtual
// clock; a real system uses the high-resolution counter.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t NowNs() = 0;
  // Returns once NowNs() >= deadline (a busy wait on a real system).
  virtual void WaitUntilNs(int64_t deadline) = 0;
};

class SteadyClock final : public Clock {
 public:
  int64_t NowNs() override;
  void WaitUntilNs(int64_t deadline) override;
};

}  // namespace veltra::platform
