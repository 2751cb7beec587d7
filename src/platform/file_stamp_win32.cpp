#include <io.h>
#include "platform/windows_api.h"

#include "platform/file_stamp_win32.h"
#include "platform/windows_text.h"

namespace veltra::platform {
namespace {

// FILETIME counts 100 ns from 1601; from 1970 on, nanoseconds fit 64 bits until 2262.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

}  // namespace

std::optional<FileStamp> StampOfHandle(void* handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(handle, &info))
    return std::nullopt;
  const int64_t ticks = static_cast<int64_t>(uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32 |
                                             info.ftLastWriteTime.dwLowDateTime);
  FileStamp stamp;
  stamp.device = info.dwVolumeSerialNumber;
  stamp.inode = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
  stamp.size = uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  stamp.modifiedNs = (ticks - kUnixEpochTicks) * 100;
  return stamp;
}

std::optional<FileStamp> StampOfPath(const std::string& path) {
  HANDLE handle = ::CreateFileW(WideText(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<FileStamp> stamp = StampOfHandle(handle);
  ::CloseHandle(handle);
  return stamp;
}

std::optional<FileStamp> StampOfOpenFile(int fd) {
  if (fd < 0) return std::nullopt;
  return StampOfHandle(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)));
}

}  // namespace veltra::platform
