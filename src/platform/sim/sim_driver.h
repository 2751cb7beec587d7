#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "platform/control_device.h"
#include "platform/sim/faults.h"
#include "platform/sim/request_log.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/sim_usb_device.h"

namespace veltra::sim {

inline constexpr char16_t kDriverServiceName[] = u"ZR_VENDER_CMD";
inline constexpr char16_t kControlDevicePath[] = u"\\\\.\\ZR_VENDER_CMD";
inline constexpr char16_t kDriverFile64[] = u"ZRVC64.sys";
inline constexpr char16_t kDriverFile32[] = u"ZRVC.sys";

// The vendor-command driver ZR_VENDER_CMD and its control device.
//
// Open: the control device exists only while the service ZR_VENDER_CMD runs (else
// kFileNotFound); an open without sharing fails with kSharingViolation while another handle is
// open, as does any open while a handle without sharing is open. Stopping the service unloads
// the driver: its handles fail every request from then on and its binding is gone.
//
// Requests (each one is logged and counted, see RequestLog):
// - attach: input = NT-form interface path as UTF-16LE including its terminating zero (even
//   length, zero last). Binds the driver to the plugged device whose interface path, with its
//   second character replaced by '?', equals it without regard to case; fails otherwise (the
//   previous binding then stays).
// - detach: unbinds; always succeeds.
// - vendor request: input exactly 16 bytes (DecodeVendorPacket); the data buffer must be 16
//   bytes and the low 32 bits of its address must equal the packet's data address (the field is
//   never dereferenced). Code 1 writes `length` bytes from the buffer to the registers from
//   `index`, 2 reads them into the buffer, 0 is the liveness probe (buffer untouched); length
//   1..16 and index + length <= 256 for all three (the probe uses 1 and 15). It succeeds only
//   when the bound device instance is still plugged and has a chip: a device that was
//   unplugged and plugged again is a new instance, so requests fail until it is attached again.
//   Each vendor request costs the bound device's requestCostNs of virtual time (and sleeps its
//   realLatencyNs of real time, outside the lock).
// The system's mutex guards all of it; an unplug fault is carried out after the lock is freed.
// A handle that outlives the driver fails every request.
class SimDriver final : public platform::ControlDeviceOpener {
 public:
  using UnplugHook = std::function<void(SimUsbDevice&)>;

  SimDriver(std::mutex& mutex, SimClock& clock, SimServiceControl& services,
            const DeviceList& devices, UnplugHook unplug);
  ~SimDriver() override;

  std::unique_ptr<platform::ControlDevice> Open(const std::u16string& path, bool shareReadWrite,
                                                uint32_t& error) override;

  // The device instance that vendor requests reach now: null when unbound, when the binding
  // went with the service, or when the device was unplugged (or re-plugged) since the attach.
  SimUsbDevice* BoundDevice() const;
  size_t OpenHandles() const;

  // The request log (off: nothing kept, the count still counts).
  std::vector<RequestRecord> RequestLog() const;
  void ClearRequestLog();
  void SetRequestLogEnabled(bool on);
  uint64_t RequestCount() const;

  // Set faults before the requests they concern run (or use SetFaults, which locks). SetFaults
  // also restarts the random sequence from the seed, and hands nackFrom / busyFrom to the chip
  // again even when their numbers have not changed.
  sim::Faults& Faults() { return faults_; }
  void SetFaults(const sim::Faults& faults);

 private:
  class Handle;
  struct Binding {
    SimUsbDevice* device = nullptr;
    uint64_t instance = 0;
    uint64_t generation = 0;  // of the service run it belongs to
  };

  bool IoControl(const Handle& handle, uint32_t code, std::span<const uint8_t> input,
                 std::span<uint8_t> dataBuffer);
  void Close(const Handle& handle);
  bool AttachLocked(std::span<const uint8_t> input, uint64_t generation, RequestRecord& record);
  bool VendorRequestLocked(std::span<const uint8_t> input, std::span<uint8_t> dataBuffer,
                           uint64_t generation, RequestRecord& record, int64_t& realLatencyNs);
  SimUsbDevice* ReachableLocked(uint64_t generation) const;
  bool DrawRandomFailureLocked();

  std::mutex& mutex_;
  SimClock& clock_;
  SimServiceControl& services_;
  const DeviceList& devices_;
  UnplugHook unplug_;

  std::vector<Handle*> handles_;
  Binding binding_;
  sim::Faults faults_;
  std::mt19937_64 random_;
  uint64_t randomSeed_ = 0;
  bool randomSeeded_ = false;
  uint64_t nackHandedFor_ = 0;  // the nackFrom / busyFrom already handed to the chip
  uint64_t busyHandedFor_ = 0;
  bool logEnabled_ = true;
  std::vector<RequestRecord> log_;
  uint64_t requestCount_ = 0;
};

}  // namespace veltra::sim
