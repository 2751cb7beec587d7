#pragma once

#include <map>
#include <memory>

#include "platform/device_interfaces.h"

namespace veltra::win32 {

// SetupAPI enumeration of present device interfaces, and arrival/removal notices.
//
// Notices are registered on a message-only window of this object's own, made on the thread of
// the first registration, so they work whether or not the program has a window of its own (the
// command line has none, the GUI's toolkit owns its windows). The window turns each
// WM_DEVICECHANGE into a DeviceBroadcast and hands it to the recipient of the registration;
// that thread's message loop carries them (the toolkit's, or DeliverNotices where there is none).
class Win32DeviceInterfaces final : public platform::DeviceInterfaces {
 public:
  Win32DeviceInterfaces();
  ~Win32DeviceInterfaces() override;
  Win32DeviceInterfaces(const Win32DeviceInterfaces&) = delete;
  Win32DeviceInterfaces& operator=(const Win32DeviceInterfaces&) = delete;

  std::unique_ptr<platform::DeviceInterfaceSet> GetPresentInterfaces(
      const platform::Guid& interfaceClass) override;
  platform::NotificationHandle RegisterNotification(platform::Window& recipient,
                                                    const platform::Guid& interfaceClass) override;
  bool UnregisterNotification(platform::NotificationHandle handle) override;
  // Runs this thread's message loop until a message came or timeoutMs passed, then delivers
  // what is queued: the command line waits for devices this way and still sees its Ctrl+C.
  bool DeliverNotices(uint32_t timeoutMs) override;

  // WM_DEVICECHANGE as the notice window receives it; public for the window procedure.
  void OnDeviceChange(uint32_t event, const void* header);

 private:
  bool EnsureWindow();

  void* window_ = nullptr;  // HWND
  std::map<platform::NotificationHandle, platform::Window*> recipients_;
};

}  // namespace veltra::win32
