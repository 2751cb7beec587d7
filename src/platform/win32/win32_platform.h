#pragma once

#include "platform/platform.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_control_device.h"
#include "platform/win32/win32_debug_output.h"
#include "platform/win32/win32_device_interfaces.h"
#include "platform/win32/win32_service_control.h"
#include "platform/win32/win32_system_info.h"
#include "platform/win32/win32_timers.h"

namespace veltra::win32 {

// The whole Win32 back end: every platform interface of the device channel on the Windows API
// and the vendor driver. One per process, made on the thread that runs the device channel
// (its timers and device notices come through that thread's message loop).
class Win32Platform {
 public:
  explicit Win32Platform(DeviceIoCalls& deviceIo = SystemDeviceIoCalls());
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  platform::Platform& Platform() { return platform_; }

 private:
  Win32ServiceControl services_;
  Win32DeviceInterfaces interfaces_;
  Win32ControlDeviceOpener driver_;
  Win32Timers timers_;
  Win32Clock clock_;
  Win32DebugOutput debug_;
  Win32SystemInfo system_;
  platform::Platform platform_;
};

}  // namespace veltra::win32
