#pragma once

#include <cstdint>

#include "platform/device_broadcast.h"

namespace veltra::platform {

// The owner window of the device channel: it receives posted messages and the device-change
// notices it registered for. Implementations may be called from any thread and hand the
// message over to their own thread.
class Window {
 public:
  virtual ~Window() = default;
  virtual bool IsWindow() const = 0;
  virtual bool PostMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
  // WM_DEVICECHANGE; header is null for notices without a broadcast header.
  virtual void DeliverDeviceChange(uint32_t event, const DeviceBroadcast* header) = 0;
};

}  // namespace veltra::platform
