#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QObject>
#include <QString>

#include "device/channel.h"
#include "device/transport.h"
#include "platform/platform.h"
#include "platform/sim/default_device.h"
#include "platform/sim/eeprom_part.h"

namespace veltra::sim {
class SimSystem;
class SimUsbDevice;
}  // namespace veltra::sim

namespace veltra::app {

class QtPlatformWindow;
class QtTimers;

// The simulated device the tool starts with where no vendor driver exists.
struct SimulatedDeviceOptions {
  uint16_t vid = sim::kDefaultDeviceVid;
  uint16_t pid = sim::kDefaultDevicePid;
  sim::EepromPart part = sim::kDefaultDevicePart;
  uint8_t capability = sim::kDefaultDeviceCapability;  // chip register 0xD9
  int64_t latencyNs = 0;                               // real time every request takes
  // The .bin file behind the EEPROM. Empty: a file of this device in the per-user data
  // directory (sim::DefaultImageFile), filled with a factory image at first use.
  std::string imageFile;
};

// The device back end on a system without the vendor driver: a simulated machine with one
// device plugged in, the platform aggregate the device channel runs on (its timers on the GUI
// thread's event loop), the channel, the transport and the channel's owner window.
class SimulatedBackend {
 public:
  explicit SimulatedBackend(const SimulatedDeviceOptions& options);
  ~SimulatedBackend();
  SimulatedBackend(const SimulatedBackend&) = delete;
  SimulatedBackend& operator=(const SimulatedBackend&) = delete;

  sim::SimSystem& System() { return *system_; }
  sim::SimUsbDevice& Device() { return *device_; }
  platform::Platform& Platform() { return *platform_; }
  device::DeviceChannel& Channel() { return *channel_; }
  device::VendorTransport& Transport() { return *transport_; }
  QtTimers& Timers() { return *timers_; }
  QtPlatformWindow& Window() { return *window_; }

  void Unplug();
  void Plug();
  bool IsPlugged() const;

  const SimulatedDeviceOptions& Options() const { return options_; }
  const std::string& ImageFile() const { return imageFile_; }
  // Set when the backing file could not be read or filled ("" otherwise).
  const std::string& FileProblem() const { return fileProblem_; }
  // What the user must know about the EEPROM's file before working with it, for a message box
  // at start: why it cannot be used, or that it is shorter than the EEPROM. Empty otherwise.
  QString StartupNotice() const { return startupNotice_; }
  // One line for the About page.
  QString Description() const;
  // Why the EEPROM file could not be written after the last transfer, or empty.
  std::string StorageProblem() const;

 private:
  SimulatedDeviceOptions options_;
  std::string imageFile_;
  std::string fileProblem_;
  QString startupNotice_;
  std::unique_ptr<sim::SimSystem> system_;
  std::unique_ptr<QtTimers> timers_;
  std::unique_ptr<QtPlatformWindow> window_;
  std::unique_ptr<platform::Platform> platform_;
  std::unique_ptr<device::DeviceChannel> channel_;
  std::unique_ptr<device::VendorTransport> transport_;
  sim::SimUsbDevice* device_ = nullptr;
};

}  // namespace veltra::app
