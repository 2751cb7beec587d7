#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device_interfaces.h"
#include "platform/window.h"
#include "production/unit_watch.h"

namespace veltra::production {

// The device-change notices of one interface class, for a front end without a window: while it
// lives it is registered as their recipient and keeps each arrival and removal with the path it
// names, for a production line that waits for units to come and go. Where the system hands
// notices only to a thread that runs a message loop, waiting runs it.
class DeviceNotices final : public platform::Window, public UnitNoticeSource {
 public:
  DeviceNotices(platform::DeviceInterfaces& interfaces, const platform::Guid& interfaceClass);
  ~DeviceNotices() override;
  DeviceNotices(const DeviceNotices&) = delete;
  DeviceNotices& operator=(const DeviceNotices&) = delete;

  bool Registered() const { return handle_ != 0; }
  // Waits until a notice of this event for path has come, or stop() says to give up (asked
  // every kUnitWaitMs); true when it came. Takes it and the notices before it.
  bool WaitFor(uint32_t event, const std::u16string& path, const std::function<bool()>& stop);

  std::vector<std::u16string> PresentPaths() override;
  std::vector<DeviceNotice> TakeNotices(uint32_t timeoutMs) override;

  bool IsWindow() const override { return true; }
  bool PostMessage(uint32_t, uintptr_t, intptr_t) override { return false; }
  void DeliverDeviceChange(uint32_t event, const platform::DeviceBroadcast* header) override;

 private:
  // Until a notice past the seen'th came or timeoutMs passed.
  void Wait(uint64_t seen, uint32_t timeoutMs);

  platform::DeviceInterfaces& interfaces_;
  platform::Guid class_;
  platform::NotificationHandle handle_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<DeviceNotice> notices_;
  uint64_t received_ = 0;
};

}  // namespace veltra::production
