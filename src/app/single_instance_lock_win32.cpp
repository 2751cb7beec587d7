#include "app/single_instance_lock.h"

#include "platform/windows_api.h"
#include "platform/windows_text.h"

namespace veltra::app {

SingleInstanceLock::~SingleInstanceLock() {
  Release();
}

SingleInstanceLock::Result SingleInstanceLock::Acquire(std::string_view name, const std::string&) {
  Release();
  // Not owned: the mutex only has to exist while this copy runs.
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, platform::WideText(name).c_str());
  if (mutex == nullptr) return Result::kUnavailable;
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    return Result::kAlreadyRunning;
  }
  mutex_ = mutex;
  return Result::kAcquired;
}

void SingleInstanceLock::Release() {
  if (mutex_ == nullptr) return;
  ::CloseHandle(static_cast<HANDLE>(mutex_));
  mutex_ = nullptr;
}

}  // namespace veltra::app
