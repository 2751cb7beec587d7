#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/guid.h"
#include "platform/window.h"

// Device-interface enumeration and arrival/removal notices (SetupAPI and
// RegisterDeviceNotification on Windows).
namespace veltra::platform {

// A snapshot of the present interfaces of one class.
class DeviceInterfaceSet {
 public:
  virtual ~DeviceInterfaceSet() = default;
  // False once index is past the last member.
  virtual bool EnumInterface(uint32_t index) = 0;
  // The interface path of member index; nullopt when the detail cannot be fetched.
  virtual std::optional<std::u16string> InterfacePath(uint32_t index) = 0;
};

using NotificationHandle = uintptr_t;  // 0 = none

class DeviceInterfaces {
 public:
  virtual ~DeviceInterfaces() = default;
  // Present interfaces of the class; null when the set cannot be built.
  virtual std::unique_ptr<DeviceInterfaceSet> GetPresentInterfaces(const Guid& interfaceClass) = 0;
  virtual NotificationHandle RegisterNotification(Window& recipient,
                                                  const Guid& interfaceClass) = 0;
  virtual bool UnregisterNotification(NotificationHandle handle) = 0;
  // For a front end without a message loop of its own: waits up to timeoutMs for notices and
  // delivers those that came, on this thread (the one that registered). False when notices are
  // delivered without it, from another thread, and the caller waits its own way.
  virtual bool DeliverNotices(uint32_t /*timeoutMs*/) { return false; }
};

}  // namespace veltra::platform
