#pragma once

#include <memory>
#include <string>

#include "backend/device_backend.h"
#include "platform/sim/eeprom_part.h"

namespace veltra::sim {
class SimSystem;
class SimUsbDevice;
}  // namespace veltra::sim

namespace veltra::backend {

// The EEPROM part the options choose for a simulated device.
sim::EepromPart SimulatedPart(const DeviceOptions& options);

// A simulated machine with one device plugged in, as the options describe it, the platform
// aggregate on it (the front end's timers and a tracing driver where the set-up asks for them),
// the device channel and the transport, sized for the EEPROM. The driver is not opened yet.
class SimulatedBackend final : public DeviceBackend {
 public:
  SimulatedBackend(const DeviceOptions& options, const BackendSetup& setup);
  ~SimulatedBackend() override;
  SimulatedBackend(const SimulatedBackend&) = delete;
  SimulatedBackend& operator=(const SimulatedBackend&) = delete;

  platform::Platform& Platform() override { return *platform_; }
  device::DeviceChannel& Channel() override { return *channel_; }
  device::VendorTransport& Transport() override { return *transport_; }
  bool Connect() override;
  std::string StorageProblem() const override;
  std::string Description() const override;
  SimulatedBackend* Simulated() override { return this; }

  sim::SimSystem& System() { return *system_; }
  sim::SimUsbDevice& Device() { return *device_; }
  const DeviceOptions& Options() const { return options_; }
  sim::EepromPart Part() const { return part_; }
  // The EEPROM's file; "" when it lives in memory.
  const std::string& ImageFile() const { return imageFile_; }
  // Why the EEPROM's file could not be made, found or read at set-up ("<file>: <reason>"), or
  // "". The EEPROM then starts erased; when the file was refused, what is written to it is kept
  // in memory only and the file is left alone.
  const std::string& FileProblem() const { return fileProblem_; }

  void Unplug();
  void Plug();
  bool IsPlugged() const;

 private:
  DeviceOptions options_;
  sim::EepromPart part_;
  std::string imageFile_;
  std::string fileProblem_;
  std::unique_ptr<sim::SimSystem> system_;
  std::unique_ptr<platform::TracingControlDeviceOpener> tracingDriver_;
  std::unique_ptr<platform::Platform> platform_;
  std::unique_ptr<device::DeviceChannel> channel_;
  std::unique_ptr<device::VendorTransport> transport_;
  sim::SimUsbDevice* device_ = nullptr;
};

}  // namespace veltra::backend
