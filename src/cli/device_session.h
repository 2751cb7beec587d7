#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "backend/device_backend.h"
#include "backend/device_options.h"
#include "cli/progress_meter.h"
#include "cli/trace_file.h"
#include "device/eeprom_types.h"
#include "device/transport.h"

namespace veltra::backend {
class SimulatedBackend;
}  // namespace veltra::backend

namespace veltra::cli {

// The device a device command works on: the device options as the GUI takes them. Where the
// Win32 back end is built, the chip on the vendor driver unless simulated is set. For a
// simulated device an empty imageFile means the per-user file of this device, filled with the
// factory image at first use, as the GUI keeps it.
using DeviceSelection = backend::DeviceOptions;

// Runs on the simulated machine before the command connects; tests inject faults here. Not run
// for the chip on the vendor driver.
// The back end keeps the simulator's types to itself.
using DeviceHook = std::function<void(backend::SimulatedBackend&)>;

// The device back end of one command, chosen and set up as the GUI sets up its device, with the
// driver opened on Connect and the transport sized for the EEPROM type; the command's --trace
// file and the progress shown on a terminal. Closing detaches the device, closes the driver
// (removing the vendor driver's service again on Windows) and writes the trace.
class DeviceSession {
 public:
  // Whether a user's --image file must exist already: a command that only reads the EEPROM
  // would otherwise read an erased part and call it the file's contents.
  enum class ImageFile { kMayBeCreated, kMustExist };

  // Null with error set ("<file>: <reason>") when the trace file or the EEPROM's file cannot
  // be made or read; nothing has been written then.
  static std::unique_ptr<DeviceSession> Open(const DeviceSelection& selection,
                                             const device::EepromType& type, ImageFile imageFile,
                                             const DeviceHook& hook, std::string& error,
                                             const std::optional<std::string>& tracePath = {});
  // As above, every vendor request traced into trace (which outlives the session) instead.
  static std::unique_ptr<DeviceSession> Open(const DeviceSelection& selection,
                                             const device::EepromType& type, ImageFile imageFile,
                                             const DeviceHook& hook, std::string& error,
                                             platform::TraceSink& trace);
  ~DeviceSession();
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  // Finds the device by VID/PID and attaches the driver to it; false when it cannot.
  bool Connect();
  device::VendorTransport& Transport() { return backend_->Transport(); }
  backend::DeviceBackend& Backend() { return *backend_; }
  // "" while everything written to a simulated EEPROM has reached its file, else why it has not.
  std::string FileProblem() const { return backend_->StorageProblem(); }
  // What the transport found wrong with the last EEPROM transfer, or "".
  std::string TransferFault() const { return backend_->Transport().LastFaultText(); }

  // Where the session reports: progress (when enabled) and a trace that could not be written.
  void SetReporting(std::ostream& err, std::string prefix, bool showProgress);

  // Shows the progress of the transfers made while it lives ("writing EEPROM").
  class ProgressScope {
   public:
    ProgressScope(device::VendorTransport& transport, ProgressMeter* meter, std::string what);
    ~ProgressScope();
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

   private:
    device::VendorTransport& transport_;
    ProgressMeter* meter_;
  };
  [[nodiscard]] ProgressScope Progress(std::string what);

  // The EEPROM's first length bytes, read with the progress shown as what; nullopt when the
  // transfer fails (TransferFault() tells why).
  std::optional<std::vector<uint8_t>> ReadEeprom(uint32_t length,
                                                 std::string what = "reading EEPROM");

  // Ends the command: writes the trace. code unless the trace could not be written, which is
  // then reported and fails the command. change says what a command that succeeded did to the
  // EEPROM ("erased"): a trace that then fails is reported with it and exits
  // kExitChangedTraceFailed, so a script knows the EEPROM changed.
  int Finish(int code, std::string_view change = {});

 private:
  DeviceSession() = default;
  static std::unique_ptr<DeviceSession> OpenTraced(const DeviceSelection& selection,
                                                   const device::EepromType& type,
                                                   ImageFile imageFile, const DeviceHook& hook,
                                                   std::string& error,
                                                   const std::optional<std::string>& tracePath,
                                                   platform::TraceSink* trace);

  TraceFile trace_;
  bool tracing_ = false;
  std::unique_ptr<backend::DeviceBackend> backend_;
  std::ostream* err_ = nullptr;
  std::string prefix_;
  std::unique_ptr<ProgressMeter> meter_;
};

}  // namespace veltra::cli
