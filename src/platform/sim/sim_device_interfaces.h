#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/device_broadcast.h"
#include "platform/device_interfaces.h"
#include "platform/sim/sim_usb_device.h"

namespace veltra::sim {

// SetupAPI enumeration and device-change notices over the simulated devices. Enumeration gives
// a snapshot of the plugged devices of the asked class, in the order they were added.
// Registration needs a live window; notices go to every live window registered for the class,
// one per registration, outside the lock, with a DEV_BROADCAST_DEVICEINTERFACE header (size
// 28 + 2 x (name length + 1)).
// Fault switches: registration fails (handle 0), the set cannot be built (null), interface
// details cannot be fetched (nullopt). Thread-safe (the simulator's mutex).
class SimDeviceInterfaces final : public platform::DeviceInterfaces {
 public:
  SimDeviceInterfaces(std::mutex& mutex, const DeviceList& devices)
      : mutex_(mutex), devices_(devices) {}

  std::unique_ptr<platform::DeviceInterfaceSet> GetPresentInterfaces(
      const platform::Guid& interfaceClass) override;
  platform::NotificationHandle RegisterNotification(platform::Window& recipient,
                                                    const platform::Guid& interfaceClass) override;
  bool UnregisterNotification(platform::NotificationHandle handle) override;

  void SetRegistrationFails(bool on);
  void SetEnumerationFails(bool on);
  void SetDetailFails(bool on);
  size_t RegistrationCount() const;

  // Delivers event (kDbtDeviceArrival, kDbtDeviceRemoveComplete) for an interface. SimSystem
  // calls it on plug and unplug; the caller must not hold the simulator's mutex.
  void Notify(uint32_t event, const std::u16string& path, const platform::Guid& interfaceClass);
  static platform::DeviceBroadcast MakeBroadcast(const std::u16string& path,
                                                 const platform::Guid& interfaceClass);

 private:
  struct Registration {
    platform::NotificationHandle handle;
    platform::Window* window;
    platform::Guid interfaceClass;
  };

  std::mutex& mutex_;
  const DeviceList& devices_;
  std::vector<Registration> registrations_;
  platform::NotificationHandle nextHandle_ = 1;
  bool registrationFails_ = false;
  bool enumerationFails_ = false;
  bool detailFails_ = false;
};

}  // namespace veltra::sim
