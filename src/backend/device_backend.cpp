#include "backend/device_backend.h"

#include "backend/simulated_backend.h"
#ifdef VELTRA_WIN32_BACKEND
#include "backend/win32_backend.h"
#endif

namespace veltra::backend {

std::unique_ptr<DeviceBackend> OpenDeviceBackend(const DeviceOptions& options,
                                                 const BackendSetup& setup) {
#ifdef VELTRA_WIN32_BACKEND
  if (!options.simulated) return std::make_unique<Win32Backend>(options, setup);
#endif
  return std::make_unique<SimulatedBackend>(options, setup);
}

}  // namespace veltra::backend
