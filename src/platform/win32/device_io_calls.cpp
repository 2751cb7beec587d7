#include "platform/win32/device_io_calls.h"

#include "platform/windows_api.h"

namespace veltra::win32 {

void* DeviceIoCalls::Open(const std::wstring& path, uint32_t access, uint32_t share,
                          uint32_t& error) {
  HANDLE handle = ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return nullptr;
  }
  return handle;
}

bool DeviceIoCalls::DeviceIoControl(void* handle, uint32_t code, const void* input,
                                    uint32_t inputBytes, void* output, uint32_t outputBytes,
                                    uint32_t& returned, uint32_t& error) {
  DWORD got = 0;
  const BOOL ok = ::DeviceIoControl(static_cast<HANDLE>(handle), code, const_cast<void*>(input),
                                    inputBytes, output, outputBytes, &got, nullptr);
  returned = got;
  error = ok ? ERROR_SUCCESS : ::GetLastError();
  return ok != FALSE;
}

void DeviceIoCalls::Close(void* handle) {
  ::CloseHandle(static_cast<HANDLE>(handle));
}

DeviceIoCalls& SystemDeviceIoCalls() {
  static DeviceIoCalls calls;
  return calls;
}

}  // namespace veltra::win32
