#pragma once

#include <memory>
#include <string>

#include "backend/device_backend.h"
#include "backend/simulated_device.h"
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
// Known to the back end and to the tests, benchmarks and fuzz targets that reach into the
// machine; a front end sees the SimulatedDevice alone.
class SimulatedBackend final : public DeviceBackend, public SimulatedDevice {
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
  SimulatedDevice* Simulated() override { return this; }

  void Unplug() override;
  void Plug() override;
  bool IsPlugged() const override;
  platform::DeviceInterfaces& Interfaces() override;
  std::u16string InterfacePath() const override;
  void SetFaults(const SimulatedFaults& faults) override;
  void ForceNack() override;
  const std::string& ImageFile() const override { return imageFile_; }
  const std::string& FileProblem() const override { return fileProblem_; }
  bool KeepsFile() const override;
  std::optional<uint64_t> LoadedFileSize() const override;
  SimulatedBackend& Machine() override { return *this; }

  sim::SimSystem& System() { return *system_; }
  sim::SimUsbDevice& Device() { return *device_; }
  const DeviceOptions& Options() const { return options_; }
  sim::EepromPart Part() const { return part_; }

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
