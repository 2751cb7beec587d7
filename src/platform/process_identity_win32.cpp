#include "platform/windows_api.h"

#include <climits>
#include <cstdint>
#include <vector>

#include "platform/process_identity.h"
#include "platform/text.h"

namespace veltra::platform {
namespace {

// When a process was created (100 ns units); 0 when it cannot be asked.
uint64_t StartOf(DWORD pid) {
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return 0;
  FILETIME created{}, exited{}, kernel{}, user{};
  const bool known = ::GetProcessTimes(process, &created, &exited, &kernel, &user) != 0;
  ::CloseHandle(process);
  return known ? (uint64_t{created.dwHighDateTime} << 32 | created.dwLowDateTime) : 0;
}

uint64_t OwnStart() {
  static const uint64_t start = StartOf(::GetCurrentProcessId());
  return start;
}

bool HasEnded(DWORD pid) {
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (process == nullptr) return ::GetLastError() == ERROR_INVALID_PARAMETER;
  const bool ended = ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
  ::CloseHandle(process);
  return ended;
}

}  // namespace

std::string OwnProcessTag() {
  return std::to_string(::GetCurrentProcessId()) + "." + std::to_string(OwnStart());
}

bool ProcessHasEnded(std::string_view tag) {
  const std::vector<uint64_t> fields = DotSeparatedNumbers(tag);
  if (fields.size() != 1 && fields.size() != 2) return false;
  if (fields[0] == 0 || fields[0] > UINT32_MAX) return false;
  const auto pid = static_cast<DWORD>(fields[0]);
  if (pid == ::GetCurrentProcessId()) {
    return fields.size() == 2 && fields[1] != 0 && fields[1] != OwnStart();
  }
  if (fields.size() == 2 && fields[1] != 0) {
    if (const uint64_t start = StartOf(pid); start != 0) return start != fields[1];
  }
  return HasEnded(pid);
}

}  // namespace veltra::platform
