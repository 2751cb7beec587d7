#include "platform/sim/sim_system.h"

#include "platform/win32_codes.h"

namespace veltra::sim {

SimSystem::SimSystem(std::u16string modulePath)
    : system_(modulePath),
      driver_(mutex_, clock_, services_, devices_,
              [this](SimUsbDevice& device) { Unplug(device); }),
      platform_{services_, interfaces_, driver_, timers_, clock_, debug_, system_} {
  const std::u16string directory = modulePath.substr(0, modulePath.rfind(u'\\') + 1);
  services_.AddDriverBinary(directory + kDriverFile64);
  services_.AddDriverBinary(directory + kDriverFile32);
}

SimSystem::~SimSystem() = default;

SimUsbDevice& SimSystem::AddDevice(const DeviceConfig& config) {
  SimUsbDevice* device = nullptr;
  {
    std::lock_guard lock(mutex_);
    devices_.push_back(std::make_unique<SimUsbDevice>(config, clock_));
    device = devices_.back().get();
  }
  Plug(*device);
  return *device;
}

void SimSystem::Plug(SimUsbDevice& device) {
  SetPlugged(device, true);
}

void SimSystem::Unplug(SimUsbDevice& device) {
  SetPlugged(device, false);
}

void SimSystem::SetPlugged(SimUsbDevice& device, bool plugged) {
  {
    std::lock_guard lock(mutex_);
    if (device.IsPlugged() == plugged) return;
    device.SetPlugged(plugged);
  }
  interfaces_.Notify(plugged ? platform::kDbtDeviceArrival : platform::kDbtDeviceRemoveComplete,
                     device.InterfacePath(), device.Config().interfaceClass);
}

std::vector<SimUsbDevice*> SimSystem::Devices() const {
  std::lock_guard lock(mutex_);
  std::vector<SimUsbDevice*> devices;
  for (const auto& device : devices_)
    devices.push_back(device.get());
  return devices;
}

}  // namespace veltra::sim
