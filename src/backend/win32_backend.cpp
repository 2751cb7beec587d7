#include "backend/win32_backend.h"

#include <cstdio>
#include "platform/text.h"

namespace veltra::backend {

Win32Backend::Win32Backend(const DeviceOptions& options, const BackendSetup& setup)
    : options_(options) {
  platform::Platform& system = system_.Platform();
  platform::ControlDeviceOpener* driver = &system.driver;
  if (setup.trace != nullptr) {
    tracingDriver_ = std::make_unique<platform::TracingControlDeviceOpener>(
        system.driver, system.clock, *setup.trace);
    driver = tracingDriver_.get();
  }
  platform::Timers& timers = setup.timers != nullptr ? *setup.timers : system.timers;
  platform_ = std::make_unique<platform::Platform>(
      platform::Platform{system.services, system.interfaces, *driver, timers, system.clock,
                         system.debug, system.system});
  channel_ = std::make_unique<device::DeviceChannel>(*platform_);
  transport_ = std::make_unique<device::VendorTransport>(*channel_);
  if (options_.eeprom) transport_->SetTransportEepromSize(options_.eeprom->size);
}

Win32Backend::~Win32Backend() {
  // Detached and the driver's service stopped and removed, as the tool leaves the system; also
  // after an open that failed half-way, which leaves a service that could not start.
  if (channel_->IsAttached()) channel_->DetachDevice();
  if (driverTried_) channel_->CloseDriver();
  transport_.reset();
  channel_.reset();
}

bool Win32Backend::Connect() {
  if (!channel_->IsDriverOpen()) {
    driverTried_ = true;
    channel_->OpenDriver();
  }
  channel_->SetPathFilter(platform::ToUtf16(options_.path));
  return channel_->ConnectDevice(options_.vid, options_.pid, nullptr, nullptr, 0, 0) != 0;
}

std::string Win32Backend::Description() const {
  char text[96];
  std::snprintf(text, sizeof text, "chip VID %04X, PID %04X on the vendor driver",
                static_cast<unsigned>(options_.vid), static_cast<unsigned>(options_.pid));
  std::string description = text;
  if (options_.eeprom) (description += ", ") += options_.eeprom->name;
  return description;
}

}  // namespace veltra::backend
