#include "cli/device_notices.h"

#include <algorithm>

#include "platform/text.h"

namespace veltra::cli {
namespace {

// Interface paths differ in case between the notice and the enumeration on Windows.
std::u16string Lower(std::u16string text) {
  for (char16_t& c : text) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return text;
}

}  // namespace

DeviceNotices::DeviceNotices(platform::DeviceInterfaces& interfaces,
                             const platform::Guid& interfaceClass)
    : interfaces_(interfaces) {
  handle_ = interfaces_.RegisterNotification(*this, interfaceClass);
}

DeviceNotices::~DeviceNotices() {
  if (handle_ != 0) interfaces_.UnregisterNotification(handle_);
}

void DeviceNotices::DeliverDeviceChange(uint32_t event, const platform::DeviceBroadcast* header) {
  if (header == nullptr) return;
  {
    const std::lock_guard lock(mutex_);
    notices_.push_back({event, Lower(header->name)});
  }
  changed_.notify_all();
}

bool DeviceNotices::TakeLocked(uint32_t event, const std::u16string& path) {
  const std::u16string wanted = Lower(path);
  const auto found = std::find_if(notices_.begin(), notices_.end(), [&](const Notice& notice) {
    return notice.event == event && notice.path == wanted;
  });
  if (found == notices_.end()) return false;
  notices_.erase(notices_.begin(), found + 1);
  return true;
}

}  // namespace veltra::cli
