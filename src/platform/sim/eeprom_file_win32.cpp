#include "platform/windows_api.h"

#include "platform/file_stamp_win32.h"
#include "platform/sim/eeprom_file.h"
#include "platform/windows_text.h"

namespace veltra::sim {

ImageFileRead ReadImageFile(const std::string& path, uint64_t maxBytes) {
  ImageFileRead result;
  // Shared for delete: another tool's write replaces the file by rename while this one reads.
  HANDLE file = ::CreateFileW(platform::WideText(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // As on the other systems, a missing folder is a missing file.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      result.status = ImageFileRead::Status::kMissing;
    } else {
      result.reason = platform::WindowsErrorReason(error);
    }
    return result;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    result.reason = "not a regular file";
  } else if (!::GetFileInformationByHandle(file, &info)) {
    result.reason = platform::WindowsErrorReason(::GetLastError());
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    result.reason = "not a regular file";
  } else {
    result.fileSize = uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
    result.stamp = platform::StampOfHandle(file);
    if (result.fileSize > maxBytes) {
      result.status = ImageFileRead::Status::kTooLarge;
    } else {
      result.bytes.resize(static_cast<size_t>(result.fileSize));
      size_t done = 0;
      while (done < result.bytes.size()) {
        DWORD got = 0;
        if (!::ReadFile(file, result.bytes.data() + done,
                        static_cast<DWORD>(result.bytes.size() - done), &got, nullptr)) {
          result.reason = platform::WindowsErrorReason(::GetLastError());
          break;
        }
        if (got == 0) {
          result.reason = "file changed while being read";
          break;
        }
        done += got;
      }
      if (result.reason.empty()) {
        result.status = ImageFileRead::Status::kLoaded;
      } else {
        result.bytes.clear();
      }
    }
  }
  ::CloseHandle(file);
  return result;
}

}  // namespace veltra::sim
