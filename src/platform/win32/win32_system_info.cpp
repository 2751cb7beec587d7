#include "platform/win32/win32_system_info.h"

#include <vector>

#include "platform/windows_api.h"
#include "platform/windows_text.h"

namespace veltra::win32 {

namespace {

constexpr DWORD kWow64DirectoryBuffer = 32767;
constexpr DWORD kMaxModulePath = 65536;

}  // namespace

platform::Wow64DirectoryQuery Win32SystemInfo::QueryWow64Directory() {
  platform::Wow64DirectoryQuery answer;
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return answer;
  using Function = UINT(WINAPI*)(LPWSTR, UINT);
  // Through void (*)(): the one function pointer type a lookup result may be cast from.
  const auto function = reinterpret_cast<Function>(
      reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "GetSystemWow64DirectoryW")));
  if (function == nullptr) return answer;
  answer.functionPresent = true;
  std::vector<wchar_t> buffer(kWow64DirectoryBuffer);
  const UINT length = function(buffer.data(), kWow64DirectoryBuffer);
  answer.succeeded = length != 0;
  if (!answer.succeeded) answer.error = ::GetLastError();
  return answer;
}

std::optional<std::u16string> Win32SystemInfo::ModuleFileName() {
  for (DWORD size = MAX_PATH;; size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return std::nullopt;
    // A name cut to the buffer fills it completely.
    if (length < size) return platform::FromWide(std::wstring_view(buffer.data(), length));
    if (size >= kMaxModulePath) return std::nullopt;
  }
}

}  // namespace veltra::win32
