#include "platform/win32/win32_clock.h"

#include "platform/windows_api.h"

namespace veltra::win32 {

Win32Clock::Win32Clock() {
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  frequency_ = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

int64_t Win32Clock::NowNs() {
  LARGE_INTEGER counter{};
  ::QueryPerformanceCounter(&counter);
  // Whole seconds and the rest apart: counter * 1e9 alone overflows within hours at 10 MHz.
  const int64_t seconds = counter.QuadPart / frequency_;
  const int64_t rest = counter.QuadPart % frequency_;
  return seconds * 1'000'000'000 + rest * 1'000'000'000 / frequency_;
}

void Win32Clock::WaitUntilNs(int64_t deadline) {
  while (NowNs() < deadline) {
  }
}

}  // namespace veltra::win32
