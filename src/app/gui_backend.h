#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <QObject>
#include <QString>

#include "backend/device_backend.h"
#include "backend/device_options.h"
#include "device/channel.h"
#include "device/transport.h"
#include "platform/platform.h"

namespace veltra::app {

class QtPlatformWindow;
class QtTimers;

// The device back end as the GUI runs it: chosen at start-up as every front end chooses it (the
// chip on the vendor driver where the Win32 back end is built, the simulated device with
// --simulated or where it is not), with the device channel's timers on the GUI thread's event
// loop, and the channel's owner window.
class GuiBackend {
 public:
  explicit GuiBackend(const backend::DeviceOptions& options);
  ~GuiBackend();
  GuiBackend(const GuiBackend&) = delete;
  GuiBackend& operator=(const GuiBackend&) = delete;

  platform::Platform& Platform() { return core_->Platform(); }
  device::DeviceChannel& Channel() { return core_->Channel(); }
  device::VendorTransport& Transport() { return core_->Transport(); }
  QtTimers& Timers() { return *timers_; }
  QtPlatformWindow& Window() { return *window_; }

  const backend::DeviceOptions& Options() const { return options_; }
  // The simulated device's EEPROM file; "" for the chip or an EEPROM in memory.
  const std::string& ImageFile() const;
  // Set when the simulated EEPROM's file could not be read or filled ("" otherwise).
  const std::string& FileProblem() const;
  // What the user must know about the EEPROM's file before working with it, for a message box
  // at start: why it cannot be used, or that it is shorter than the EEPROM. Empty otherwise.
  QString StartupNotice() const { return startupNotice_; }
  // One line for the About page.
  QString Description() const { return QString::fromStdString(core_->Description()); }
  // Why the EEPROM file could not be written after the last transfer, or empty.
  std::string StorageProblem() const { return core_->StorageProblem(); }

  // Whether this is the simulated device. Its cable, for the device panel, only then.
  bool IsSimulated() const { return simulated_ != nullptr; }
  void Unplug();
  void Plug();
  bool IsPlugged() const;
  // The simulated device behind the back end; null for the chip.
  backend::SimulatedDevice* Simulated() { return simulated_; }

 private:
  backend::DeviceOptions options_;
  std::unique_ptr<QtTimers> timers_;
  std::unique_ptr<QtPlatformWindow> window_;
  std::unique_ptr<backend::DeviceBackend> core_;
  backend::SimulatedDevice* simulated_ = nullptr;  // core_ when it is the simulated device
  QString startupNotice_;
};

}  // namespace veltra::app
