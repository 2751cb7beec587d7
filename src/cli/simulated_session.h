#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/channel.h"
#include "device/eeprom_types.h"
#include "device/transport.h"
#include "platform/sim/default_device.h"

namespace veltra::sim {
class SimSystem;
class SimUsbDevice;
}  // namespace veltra::sim

namespace veltra::win32 {
class Win32Platform;
}  // namespace veltra::win32

namespace veltra::cli {

// Whether this build reaches real chips (the Win32 back end on the vendor driver); elsewhere
// every device command works on the simulated device.
#ifdef VELTRA_WIN32_BACKEND
inline constexpr bool kHasHardwareBackEnd = true;
#else
inline constexpr bool kHasHardwareBackEnd = false;
#endif

// The device a device command works on: the simulated one, or where the Win32 back end is
// built and --simulated not given, the chip with this VID/PID on the vendor driver.
struct DeviceSelection {
  bool simulated = !kHasHardwareBackEnd;
  uint16_t vid = sim::kDefaultDeviceVid;
  uint16_t pid = sim::kDefaultDevicePid;
  uint8_t capability = sim::kDefaultDeviceCapability;
  // The .bin file behind the EEPROM; empty: the per-user file of this device, filled with the
  // factory image at first use, as the GUI keeps it.
  std::string imageFile;
};

// Runs on the simulated machine before the command connects; tests inject faults here.
using DeviceHook = std::function<void(sim::SimSystem&, sim::SimUsbDevice&)>;

// The simulated machine with the device plugged in, set up as the GUI sets up its default
// device, and the device channel and vendor transport on it, the driver opened and the
// transport sized for the EEPROM type. Closing detaches the device and closes the driver.
// Where the Win32 back end is built and the selection is not simulated, the same on the real
// system: the vendor driver installed if need be, and removed again at the close.
class SimulatedSession {
 public:
  // Whether a user's --image file must exist already: a command that only reads the EEPROM
  // would otherwise read an erased part and call it the file's contents.
  enum class ImageFile { kMayBeCreated, kMustExist };

  // Null with error set ("<file>: <reason>") when the EEPROM's file cannot be made or read.
  static std::unique_ptr<SimulatedSession> Open(const DeviceSelection& selection,
                                                const device::EepromType& type, ImageFile imageFile,
                                                const DeviceHook& hook, std::string& error);
  ~SimulatedSession();
  SimulatedSession(const SimulatedSession&) = delete;
  SimulatedSession& operator=(const SimulatedSession&) = delete;

  // Finds the device by VID/PID and attaches the driver to it; false when it cannot.
  bool Connect();
  device::VendorTransport& Transport() { return *transport_; }
  const std::string& ImageFilePath() const { return imageFile_; }
  // "" while everything written to the EEPROM has reached its file, else why it has not.
  std::string FileProblem() const;

 private:
  SimulatedSession() = default;

  DeviceSelection selection_;
  std::string imageFile_;
  std::unique_ptr<sim::SimSystem> system_;
  sim::SimUsbDevice* device_ = nullptr;
#ifdef VELTRA_WIN32_BACKEND
  std::unique_ptr<win32::Win32Platform> hardware_;
#endif
  std::unique_ptr<device::DeviceChannel> channel_;
  std::unique_ptr<device::VendorTransport> transport_;
};

}  // namespace veltra::cli
