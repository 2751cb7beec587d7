#pragma once

#include <cstdint>
#include <string>

namespace veltra::win32 {

// The three system calls the driver's control device is used through: CreateFileW,
// DeviceIoControl and CloseHandle. One place for tests to see exactly what would reach the
// driver (codes, buffers and their sizes) where no driver is installed.
class DeviceIoCalls {
 public:
  virtual ~DeviceIoCalls() = default;
  // A handle, or null with error set.
  virtual void* Open(const std::wstring& path, uint32_t access, uint32_t share, uint32_t& error);
  virtual bool DeviceIoControl(void* handle, uint32_t code, const void* input, uint32_t inputBytes,
                               void* output, uint32_t outputBytes, uint32_t& returned,
                               uint32_t& error);
  virtual void Close(void* handle);
};

// The real calls.
DeviceIoCalls& SystemDeviceIoCalls();

}  // namespace veltra::win32
