#include "platform/windows_text.h"

#include "platform/windows_api.h"

#include <cerrno>
#include <system_error>

#include "platform/text.h"

namespace veltra::platform {

std::wstring WideText(std::string_view utf8) {
  return WideText(ToUtf16(utf8));
}

std::wstring WideText(std::u16string_view text) {
  return std::wstring(text.begin(), text.end());
}

std::u16string FromWide(std::wstring_view wide) {
  return std::u16string(wide.begin(), wide.end());
}

std::string Utf8FromWide(std::wstring_view wide) {
  return ToUtf8(FromWide(wide));
}

namespace {

int ErrnoOf(uint32_t error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_PARAMETER:
      return EINVAL;
    case ERROR_DIRECTORY:
      return ENOTDIR;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return 0;
  }
}

}  // namespace

std::string WindowsErrorReason(uint32_t error) {
  if (const int mapped = ErrnoOf(error); mapped != 0)
    return std::generic_category().message(mapped);
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason;
  if (length != 0 && text != nullptr) reason = Utf8FromWide(std::wstring_view(text, length));
  if (text != nullptr) ::LocalFree(text);
  // The system's texts end in a full stop and a line end; the tool's reasons end in neither.
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == ' ' || reason.back() == '.'))
    reason.pop_back();
  if (reason.empty()) reason = "Windows error " + std::to_string(error);
  return reason;
}

}  // namespace veltra::platform
