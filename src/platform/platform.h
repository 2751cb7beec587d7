#pragma once

#include "platform/clock.h"
#include "platform/control_device.h"
#include "platform/debug_output.h"
#include "platform/device_interfaces.h"
#include "platform/service_control.h"
#include "platform/system_info.h"
#include "platform/timers.h"

namespace veltra::platform {

// Everything the device channel needs from the system, chosen at start-up: the simulated back
// end on systems without the vendor driver, a Win32 one where it exists.
struct Platform {
  ServiceControl& services;
  DeviceInterfaces& interfaces;
  ControlDeviceOpener& driver;
  Timers& timers;
  Clock& clock;
  DebugOutput& debug;
  SystemInfo& system;
};

}  // namespace veltra::platform
