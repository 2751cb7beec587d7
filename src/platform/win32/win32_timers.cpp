#include "platform/win32/win32_timers.h"

#include <map>
#include <mutex>

#include "platform/windows_api.h"

namespace veltra::win32 {

namespace {

// A timer procedure gets no context but the id: the callbacks are found by it.
struct TimerTable {
  std::mutex mutex;
  std::map<platform::TimerId, std::function<void(platform::TimerId)>> callbacks;
};

TimerTable& Table() {
  static TimerTable table;
  return table;
}

void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  std::function<void(platform::TimerId)> callback;
  {
    std::lock_guard lock(Table().mutex);
    const auto found = Table().callbacks.find(id);
    if (found == Table().callbacks.end()) return;
    callback = found->second;  // a copy: the callback may kill its own timer
  }
  callback(id);
}

}  // namespace

Win32Timers::~Win32Timers() = default;

platform::TimerId Win32Timers::SetTimer(platform::TimerId requestedId, uint32_t milliseconds,
                                        std::function<void(platform::TimerId)> callback) {
  std::lock_guard lock(Table().mutex);
  const UINT_PTR id = ::SetTimer(nullptr, requestedId, milliseconds, TimerProc);
  if (id != 0) Table().callbacks[id] = std::move(callback);
  return id;
}

bool Win32Timers::KillTimer(platform::TimerId id) {
  {
    std::lock_guard lock(Table().mutex);
    Table().callbacks.erase(id);
  }
  return ::KillTimer(nullptr, id) != FALSE;
}

}  // namespace veltra::win32
