#pragma once

#include "platform/clock.h"

namespace veltra::win32 {

// The high-resolution performance counter; waits are busy waits on it.
class Win32Clock final : public platform::Clock {
 public:
  Win32Clock();
  int64_t NowNs() override;
  void WaitUntilNs(int64_t deadline) override;

 private:
  int64_t frequency_ = 0;
};

}  // namespace veltra::win32
