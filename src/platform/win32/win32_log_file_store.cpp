#include "platform/win32/win32_log_file_store.h"

#include <vector>

#include "platform/text.h"
#include "platform/windows_api.h"
#include "platform/windows_text.h"

namespace veltra::win32 {

namespace {

constexpr size_t kMaxPathCharacters = 259;

}  // namespace

std::string Win32LogFileStore::PathForWindowsDirectory(const std::string& windowsDirectory) {
  if (windowsDirectory.empty()) return {};
  std::string path = windowsDirectory + "\\Temp\\" + platform::kLogFileName;
  if (platform::ToUtf16(path).size() > kMaxPathCharacters) return {};
  return path;
}

std::string Win32LogFileStore::DefaultPath() {
  wchar_t directory[MAX_PATH + 1] = {};
  const UINT length = ::GetWindowsDirectoryW(directory, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return {};
  return PathForWindowsDirectory(platform::Utf8FromWide(std::wstring_view(directory, length)));
}

void Win32LogFileStore::Delete() {
  if (!path_.empty()) ::DeleteFileW(platform::WideText(path_).c_str());
}

bool Win32LogFileStore::Append(std::string_view record) {
  if (path_.empty()) return false;
  HANDLE file = ::CreateFileW(platform::WideText(path_).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string text;
  text.reserve(record.size() + 8);
  for (const char c : record) {
    if (c == '\n') text += '\r';
    text += c;
  }
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  ::CloseHandle(file);
  return ok;
}

}  // namespace veltra::win32
