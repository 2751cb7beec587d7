#pragma once

#include <memory>
#include <string>

#include "backend/device_options.h"
#include "backend/simulated_device.h"
#include "device/channel.h"
#include "device/transport.h"
#include "platform/device_interfaces.h"
#include "platform/platform.h"
#include "platform/timers.h"
#include "platform/vendor_request_trace.h"

// The device back end a front end chooses at start-up: the platform the device channel runs on,
// the channel and the vendor transport. The GUI, veltra-cli, the tests, the benchmarks and the
// fuzz target all set their device up here.
namespace veltra::backend {

// How the machine behind the device runs: for a person at the tool (the GUI, veltra-cli) or for
// tests and figures.
struct BackendSetup {
  // Where a simulated EEPROM keeps its contents: in options.imageFile or else the per-user file
  // of the device (made with the factory image when missing), or only in memory, erased.
  enum class Storage { kFile, kMemory };
  Storage storage = Storage::kFile;
  // A file named by options.imageFile must exist already: a command that only reads would
  // otherwise read an erased EEPROM and take it for the file's contents.
  bool imageFileMustExist = false;
  // The virtual clock keeps up with real time, so a person's pause lets a write cycle end;
  // tests and figures run on virtual time alone and stay deterministic.
  bool realTime = true;
  // Every request kept for inspection; a long session must not keep them.
  bool requestLog = false;
  // The simulated chip's timing; its real latency comes from options.latencyNs.
  SimulatedTiming timing;
  // The front end's timers instead of the machine's own (the GUI's run on its event loop).
  platform::Timers* timers = nullptr;
  // Every vendor request is traced here when given; it outlives the back end.
  platform::TraceSink* trace = nullptr;

  static BackendSetup ForPerson() { return {}; }
  static BackendSetup ForTests() {
    return {.storage = Storage::kMemory, .realTime = false, .requestLog = true};
  }
};

class DeviceBackend {
 public:
  virtual ~DeviceBackend() = default;

  virtual platform::Platform& Platform() = 0;
  virtual device::DeviceChannel& Channel() = 0;
  virtual device::VendorTransport& Transport() = 0;
  // Opens the driver and attaches to the device of the options' VID and PID, as the GUI's
  // Connect does; false when the device cannot be found or attached.
  virtual bool Connect() = 0;
  // Why the back end could not keep what the last transfer wrote, or could not use its storage
  // for it; "" otherwise. Safe from any thread.
  virtual std::string StorageProblem() const = 0;
  // One line for a person: which device this is.
  virtual std::string Description() const = 0;
  // The simulated device when this is one, for what only a simulator can do (unplugging,
  // faults); null otherwise.
  virtual SimulatedDevice* Simulated() { return nullptr; }
};

// The back end for this run: the chip on the vendor driver where the Win32 back end is built,
// unless the options ask for the simulated device; the simulated device the options describe
// elsewhere.
std::unique_ptr<DeviceBackend> OpenDeviceBackend(const DeviceOptions& options,
                                                 const BackendSetup& setup);

// The enumeration and arrival/removal notices of the devices the options' back end reaches, for
// a front end that waits for devices to come and go: the system's where the Win32 back end is
// built and the options do not ask for the simulated device; null otherwise (a simulated
// machine carries its own, one per device).
std::unique_ptr<platform::DeviceInterfaces> OpenDeviceInterfaces(const DeviceOptions& options);

}  // namespace veltra::backend
