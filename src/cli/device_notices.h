#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device_interfaces.h"
#include "platform/window.h"

namespace veltra::cli {

// The device-change notices of one interface class, for a front end without a window: while it
// lives it is registered as their recipient and keeps each arrival and removal with the path it
// names, for a production line that waits for units to come and go.
class DeviceNotices final : public platform::Window {
 public:
  DeviceNotices(platform::DeviceInterfaces& interfaces, const platform::Guid& interfaceClass);
  ~DeviceNotices() override;
  DeviceNotices(const DeviceNotices&) = delete;
  DeviceNotices& operator=(const DeviceNotices&) = delete;

  bool Registered() const { return handle_ != 0; }
  // Waits until a notice of this event (kDbtDeviceArrival, kDbtDeviceRemoveComplete) for path
  // has come, or stop() says to give up (asked every 100 ms); true when it came. Takes it.
  template <typename Stop>
  bool WaitFor(uint32_t event, const std::u16string& path, Stop stop) {
    std::unique_lock lock(mutex_);
    while (!TakeLocked(event, path)) {
      if (stop()) return false;
      changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
    return true;
  }

  bool IsWindow() const override { return true; }
  bool PostMessage(uint32_t, uintptr_t, intptr_t) override { return false; }
  void DeliverDeviceChange(uint32_t event, const platform::DeviceBroadcast* header) override;

 private:
  bool TakeLocked(uint32_t event, const std::u16string& path);

  struct Notice {
    uint32_t event;
    std::u16string path;
  };
  platform::DeviceInterfaces& interfaces_;
  platform::NotificationHandle handle_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Notice> notices_;
};

}  // namespace veltra::cli
