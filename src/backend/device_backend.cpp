#include "backend/device_backend.h"

#include "backend/simulated_backend.h"
#ifdef VELTRA_WIN32_BACKEND
#include "backend/win32_backend.h"
#include "platform/win32/win32_device_interfaces.h"
#endif

namespace veltra::backend {

std::unique_ptr<DeviceBackend> OpenDeviceBackend(const DeviceOptions& options,
                                                 const BackendSetup& setup) {
#ifdef VELTRA_WIN32_BACKEND
  if (!options.simulated) return std::make_unique<Win32Backend>(options, setup);
#endif
  return std::make_unique<SimulatedBackend>(options, setup);
}

std::unique_ptr<platform::DeviceInterfaces> OpenDeviceInterfaces(
    [[maybe_unused]] const DeviceOptions& options) {
#ifdef VELTRA_WIN32_BACKEND
  if (!options.simulated) return std::make_unique<win32::Win32DeviceInterfaces>();
#endif
  return nullptr;
}

}  // namespace veltra::backend
