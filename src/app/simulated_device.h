#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QObject>
#include <QString>

#include "backend/device_options.h"
#include "backend/simulated_backend.h"
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

// The simulated device the tool starts with where no vendor driver exists: the device options
// every front end takes. Without --eeprom it has the default device's 24C64.
using SimulatedDeviceOptions = backend::DeviceOptions;

// The EEPROM part the options choose.
sim::EepromPart PartOf(const SimulatedDeviceOptions& options);

// The device back end on a system without the vendor driver, as the GUI runs it: the shared
// simulated back end with the device channel's timers on the GUI thread's event loop, and the
// channel's owner window.
class SimulatedBackend {
 public:
  explicit SimulatedBackend(const SimulatedDeviceOptions& options);
  ~SimulatedBackend();
  SimulatedBackend(const SimulatedBackend&) = delete;
  SimulatedBackend& operator=(const SimulatedBackend&) = delete;

  sim::SimSystem& System() { return core_->System(); }
  sim::SimUsbDevice& Device() { return core_->Device(); }
  platform::Platform& Platform() { return core_->Platform(); }
  device::DeviceChannel& Channel() { return core_->Channel(); }
  device::VendorTransport& Transport() { return core_->Transport(); }
  QtTimers& Timers() { return *timers_; }
  QtPlatformWindow& Window() { return *window_; }

  void Unplug() { core_->Unplug(); }
  void Plug() { core_->Plug(); }
  bool IsPlugged() const { return core_->IsPlugged(); }

  const SimulatedDeviceOptions& Options() const { return core_->Options(); }
  const std::string& ImageFile() const { return core_->ImageFile(); }
  // Set when the backing file could not be read or filled ("" otherwise).
  const std::string& FileProblem() const { return core_->FileProblem(); }
  // What the user must know about the EEPROM's file before working with it, for a message box
  // at start: why it cannot be used, or that it is shorter than the EEPROM. Empty otherwise.
  QString StartupNotice() const { return startupNotice_; }
  // One line for the About page.
  QString Description() const { return QString::fromStdString(core_->Description()); }
  // Why the EEPROM file could not be written after the last transfer, or empty.
  std::string StorageProblem() const { return core_->StorageProblem(); }

 private:
  std::unique_ptr<QtTimers> timers_;
  std::unique_ptr<QtPlatformWindow> window_;
  std::unique_ptr<backend::SimulatedBackend> core_;
  QString startupNotice_;
};

}  // namespace veltra::app
