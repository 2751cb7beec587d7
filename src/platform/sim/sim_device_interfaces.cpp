#include "platform/sim/sim_device_interfaces.h"

#include <algorithm>

#include "platform/win32_codes.h"

namespace veltra::sim {

namespace {

class InterfaceSnapshot final : public platform::DeviceInterfaceSet {
 public:
  InterfaceSnapshot(std::vector<std::u16string> paths, bool detailFails)
      : paths_(std::move(paths)), detailFails_(detailFails) {}

  bool EnumInterface(uint32_t index) override { return index < paths_.size(); }

  std::optional<std::u16string> InterfacePath(uint32_t index) override {
    if (index >= paths_.size() || detailFails_) return std::nullopt;
    return paths_[index];
  }

 private:
  std::vector<std::u16string> paths_;
  bool detailFails_;
};

}  // namespace

std::unique_ptr<platform::DeviceInterfaceSet> SimDeviceInterfaces::GetPresentInterfaces(
    const platform::Guid& interfaceClass) {
  std::lock_guard lock(mutex_);
  if (enumerationFails_) return nullptr;
  std::vector<std::u16string> paths;
  for (const auto& device : devices_) {
    if (device->IsPlugged() && device->Config().interfaceClass == interfaceClass)
      paths.push_back(device->InterfacePath());
  }
  return std::make_unique<InterfaceSnapshot>(std::move(paths), detailFails_);
}

platform::NotificationHandle SimDeviceInterfaces::RegisterNotification(
    platform::Window& recipient, const platform::Guid& interfaceClass) {
  if (!recipient.IsWindow()) return 0;
  std::lock_guard lock(mutex_);
  if (registrationFails_) return 0;
  const platform::NotificationHandle handle = nextHandle_++;
  registrations_.push_back({handle, &recipient, interfaceClass});
  return handle;
}

bool SimDeviceInterfaces::UnregisterNotification(platform::NotificationHandle handle) {
  std::lock_guard lock(mutex_);
  return std::erase_if(registrations_, [&](const Registration& r) { return r.handle == handle; });
}

void SimDeviceInterfaces::SetRegistrationFails(bool on) {
  std::lock_guard lock(mutex_);
  registrationFails_ = on;
}

void SimDeviceInterfaces::SetEnumerationFails(bool on) {
  std::lock_guard lock(mutex_);
  enumerationFails_ = on;
}

void SimDeviceInterfaces::SetDetailFails(bool on) {
  std::lock_guard lock(mutex_);
  detailFails_ = on;
}

size_t SimDeviceInterfaces::RegistrationCount() const {
  std::lock_guard lock(mutex_);
  return registrations_.size();
}

platform::DeviceBroadcast SimDeviceInterfaces::MakeBroadcast(const std::u16string& path,
                                                             const platform::Guid& interfaceClass) {
  platform::DeviceBroadcast header;
  header.size = static_cast<uint32_t>(28 + 2 * (path.size() + 1));
  header.deviceType = platform::kDbtDevtypDeviceInterface;
  header.classGuid = interfaceClass;
  header.name = path;
  return header;
}

void SimDeviceInterfaces::Notify(uint32_t event, const std::u16string& path,
                                 const platform::Guid& interfaceClass) {
  std::vector<platform::Window*> recipients;
  {
    std::lock_guard lock(mutex_);
    for (const Registration& r : registrations_) {
      if (r.interfaceClass == interfaceClass)
        recipients.push_back(r.window);  // one per registration
    }
  }
  const platform::DeviceBroadcast header = MakeBroadcast(path, interfaceClass);
  for (platform::Window* window : recipients) {
    if (window->IsWindow()) window->DeliverDeviceChange(event, &header);
  }
}

}  // namespace veltra::sim
