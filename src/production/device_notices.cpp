#include "production/device_notices.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "device/channel.h"

namespace veltra::production {

DeviceNotices::DeviceNotices(platform::DeviceInterfaces& interfaces,
                             const platform::Guid& interfaceClass)
    : interfaces_(interfaces), class_(interfaceClass) {
  handle_ = interfaces_.RegisterNotification(*this, interfaceClass);
}

DeviceNotices::~DeviceNotices() {
  if (handle_ != 0) interfaces_.UnregisterNotification(handle_);
}

void DeviceNotices::DeliverDeviceChange(uint32_t event, const platform::DeviceBroadcast* header) {
  if (header == nullptr) return;
  {
    const std::lock_guard lock(mutex_);
    notices_.push_back({event, header->name});
    ++received_;
  }
  changed_.notify_all();
}

void DeviceNotices::Wait(uint64_t seen, uint32_t timeoutMs) {
  if (interfaces_.DeliverNotices(timeoutMs)) return;
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return received_ != seen; });
}

bool DeviceNotices::WaitFor(uint32_t event, const std::u16string& path,
                            const std::function<bool()>& stop) {
  for (;;) {
    uint64_t seen = 0;
    {
      const std::lock_guard lock(mutex_);
      const auto found = std::find_if(notices_.begin(), notices_.end(), [&](const auto& notice) {
        return notice.event == event && device::SameInterfacePath(notice.path, path);
      });
      if (found != notices_.end()) {
        notices_.erase(notices_.begin(), found + 1);
        return true;
      }
      seen = received_;
    }
    if (stop()) return false;
    Wait(seen, kUnitWaitMs);
  }
}

std::vector<DeviceNotice> DeviceNotices::TakeNotices(uint32_t timeoutMs) {
  uint64_t seen = 0;
  {
    const std::lock_guard lock(mutex_);
    if (!notices_.empty()) return std::exchange(notices_, {});
    seen = received_;
  }
  if (timeoutMs > 0)
    Wait(seen, timeoutMs);
  else
    interfaces_.DeliverNotices(0);
  const std::lock_guard lock(mutex_);
  return std::exchange(notices_, {});
}

std::vector<std::u16string> DeviceNotices::PresentPaths() {
  std::vector<std::u16string> paths;
  const auto set = interfaces_.GetPresentInterfaces(class_);
  if (!set) return paths;
  for (uint32_t index = 0; set->EnumInterface(index); ++index) {
    if (const std::optional<std::u16string> path = set->InterfacePath(index)) {
      paths.push_back(*path);
    }
  }
  return paths;
}

}  // namespace veltra::production
