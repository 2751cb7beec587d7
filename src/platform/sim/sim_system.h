#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/capturing_debug_output.h"
#include "platform/sim/device_config.h"
#include "platform/sim/faults.h"
#include "platform/sim/request_log.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_device_interfaces.h"
#include "platform/sim/sim_driver.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/sim_system_info.h"
#include "platform/sim/sim_timers.h"
#include "platform/sim/sim_usb_device.h"

namespace veltra::sim {

// A whole simulated Windows machine for the tool: service manager, driver files, the vendor
// driver, USB audio devices with their chips and EEPROMs, device notices, timers, a virtual
// clock, debugger output and system information. As a fresh machine with the tool unpacked:
// no service is installed, ZRVC64.sys and ZRVC.sys lie beside the module path, no device is
// plugged in. Not copyable or movable; everything handed out lives as long as the system.
// Thread-safe: one mutex guards the simulated state; notices are delivered outside it.
class SimSystem {
 public:
  explicit SimSystem(std::u16string modulePath = SimSystemInfo::kDefaultModulePath);
  ~SimSystem();
  SimSystem(const SimSystem&) = delete;
  SimSystem& operator=(const SimSystem&) = delete;

  platform::Platform& Platform() { return platform_; }

  // Adds a device, plugged in: arrival notices are sent.
  SimUsbDevice& AddDevice(const DeviceConfig& config = {});
  // Plug / Unplug send kDbtDeviceArrival / kDbtDeviceRemoveComplete; doing what is done already
  // sends nothing. A plug-in powers the chip up afresh (registers reset, a new device instance).
  void Plug(SimUsbDevice& device);
  void Unplug(SimUsbDevice& device);
  std::vector<SimUsbDevice*> Devices() const;

  SimClock& Clock() { return clock_; }
  SimServiceControl& Services() { return services_; }
  SimDriver& Driver() { return driver_; }
  SimDeviceInterfaces& Interfaces() { return interfaces_; }
  SimTimers& Timers() { return timers_; }
  CapturingDebugOutput& Debug() { return debug_; }
  SimSystemInfo& System() { return system_; }

  std::vector<RequestRecord> RequestLog() const { return driver_.RequestLog(); }
  void ClearRequestLog() { driver_.ClearRequestLog(); }
  void SetRequestLogEnabled(bool on) { driver_.SetRequestLogEnabled(on); }
  uint64_t RequestCount() const { return driver_.RequestCount(); }
  sim::Faults& Faults() { return driver_.Faults(); }
  void SetFaults(const sim::Faults& faults) { driver_.SetFaults(faults); }

  // Fires the thread timers whose time has come on the virtual clock; returns how many fired.
  int RunDueTimers() { return timers_.RunDueTimers(); }

  // For reading chips and EEPROMs while another thread may send requests.
  std::unique_lock<std::mutex> Lock() { return std::unique_lock(mutex_); }

 private:
  void SetPlugged(SimUsbDevice& device, bool plugged);

  mutable std::mutex mutex_;
  SimClock clock_;
  SimTimers timers_{clock_};
  CapturingDebugOutput debug_;
  SimSystemInfo system_;
  SimServiceControl services_{mutex_};
  DeviceList devices_;
  SimDeviceInterfaces interfaces_{mutex_, devices_};
  SimDriver driver_;
  platform::Platform platform_;
};

}  // namespace veltra::sim
