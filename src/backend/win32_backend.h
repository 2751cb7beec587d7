#pragma once

#include <memory>
#include <string>

#include "backend/device_backend.h"
#include "platform/win32/win32_platform.h"

namespace veltra::backend {

// The chip with the options' VID and PID on the vendor driver: the Win32 back end's platform
// (with the front end's timers and a tracing driver where the set-up asks for them), the device
// channel and the transport, sized for the EEPROM. The driver is not opened yet.
class Win32Backend final : public DeviceBackend {
 public:
  Win32Backend(const DeviceOptions& options, const BackendSetup& setup);
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  platform::Platform& Platform() override { return *platform_; }
  device::DeviceChannel& Channel() override { return *channel_; }
  device::VendorTransport& Transport() override { return *transport_; }
  bool Connect() override;
  // The chip's EEPROM keeps what it is written: no storage of the tool's own can fail.
  std::string StorageProblem() const override { return {}; }
  std::string Description() const override;

 private:
  DeviceOptions options_;
  win32::Win32Platform system_;
  std::unique_ptr<platform::TracingControlDeviceOpener> tracingDriver_;
  std::unique_ptr<platform::Platform> platform_;
  std::unique_ptr<device::DeviceChannel> channel_;
  std::unique_ptr<device::VendorTransport> transport_;
  bool driverTried_ = false;  // Connect has installed or opened the driver
};

}  // namespace veltra::backend
