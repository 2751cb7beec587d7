#include "platform/sim/sim_driver.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

#include "platform/text.h"
#include "platform/vendor_packet.h"
#include "platform/win32_codes.h"

namespace veltra::sim {

namespace pf = veltra::platform;

class SimDriver::Handle final : public pf::ControlDevice {
 public:
  Handle(SimDriver& driver, uint64_t generation, bool shared)
      : driver_(&driver), generation_(generation), shared_(shared) {}
  ~Handle() override {
    if (driver_ != nullptr) driver_->Close(*this);
  }

  bool IoControl(uint32_t code, std::span<const uint8_t> input, std::span<uint8_t> /*output*/,
                 std::span<uint8_t> dataBuffer) override {
    return driver_ != nullptr && driver_->IoControl(*this, code, input, dataBuffer);
  }

  uint64_t Generation() const { return generation_; }
  bool Shared() const { return shared_; }
  void Orphan() { driver_ = nullptr; }

 private:
  SimDriver* driver_;
  uint64_t generation_;
  bool shared_;
};

SimDriver::SimDriver(std::mutex& mutex, SimClock& clock, SimServiceControl& services,
                     const DeviceList& devices, UnplugHook unplug)
    : mutex_(mutex),
      clock_(clock),
      services_(services),
      devices_(devices),
      unplug_(std::move(unplug)) {}

SimDriver::~SimDriver() {
  std::lock_guard lock(mutex_);
  for (Handle* handle : handles_)
    handle->Orphan();
}

std::unique_ptr<pf::ControlDevice> SimDriver::Open(const std::u16string& path, bool shareReadWrite,
                                                   uint32_t& error) {
  std::lock_guard lock(mutex_);
  const uint64_t generation = services_.RunGenerationLocked(kDriverServiceName);
  if (generation == 0 || !platform::EqualsIgnoreAsciiCase(path, kControlDevicePath)) {
    error = pf::error::kFileNotFound;
    return nullptr;
  }
  for (const Handle* open : handles_) {
    if (open->Generation() == generation && (!shareReadWrite || !open->Shared())) {
      error = pf::error::kSharingViolation;
      return nullptr;
    }
  }
  auto handle = std::make_unique<Handle>(*this, generation, shareReadWrite);
  handles_.push_back(handle.get());
  error = pf::error::kSuccess;
  return handle;
}

void SimDriver::Close(const Handle& handle) {
  std::lock_guard lock(mutex_);
  std::erase(handles_, &handle);
}

size_t SimDriver::OpenHandles() const {
  std::lock_guard lock(mutex_);
  const uint64_t generation = services_.RunGenerationLocked(kDriverServiceName);
  return static_cast<size_t>(std::count_if(handles_.begin(), handles_.end(), [&](const Handle* h) {
    return generation != 0 && h->Generation() == generation;
  }));
}

bool SimDriver::IoControl(const Handle& handle, uint32_t code, std::span<const uint8_t> input,
                          std::span<uint8_t> dataBuffer) {
  bool result = false;
  int64_t realLatencyNs = 0;
  SimUsbDevice* unplug = nullptr;
  {
    std::lock_guard lock(mutex_);
    RequestRecord record;
    record.sequence = ++requestCount_;
    record.ioctl = code;
    record.inputBytes = input.size();
    const uint64_t generation = services_.RunGenerationLocked(kDriverServiceName);
    const bool failNow = faults_.failRequest == record.sequence;
    if (generation != 0 && generation == handle.Generation()) {
      switch (code) {
        case pf::kIoctlAttach:
          result = AttachLocked(input, generation, record);
          break;
        case pf::kIoctlDetach:
          if (!failNow) binding_ = {};
          result = !failNow;
          break;
        case pf::kIoctlVendorRequest:
          result = VendorRequestLocked(input, dataBuffer, generation, record, realLatencyNs);
          break;
        default:
          break;
      }
    }
    record.result = result;
    record.timeNs = clock_.NowNs();
    if (faults_.unplugAfter != 0 && faults_.unplugAfter == record.sequence)
      unplug = ReachableLocked(generation);
    if (logEnabled_) log_.push_back(std::move(record));
  }
  if (realLatencyNs > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(realLatencyNs));
  if (unplug != nullptr) unplug_(*unplug);
  return result;
}

bool SimDriver::AttachLocked(std::span<const uint8_t> input, uint64_t generation,
                             RequestRecord& record) {
  if (input.size() < 2 || input.size() % 2 != 0) return false;
  std::u16string path;
  for (size_t i = 0; i < input.size(); i += 2)
    path.push_back(static_cast<char16_t>(input[i] | input[i + 1] << 8));
  if (path.back() != u'\0') return false;
  path.pop_back();
  record.path = path;
  if (faults_.failRequest == record.sequence) return false;  // the binding stays as it was
  for (const auto& device : devices_) {
    std::u16string ntPath = device->InterfacePath();
    if (ntPath.size() >= 2) ntPath[1] = u'?';
    if (device->IsPlugged() && platform::EqualsIgnoreAsciiCase(ntPath, path)) {
      binding_ = {device.get(), device->Instance(), generation};
      return true;
    }
  }
  return false;
}

bool SimDriver::VendorRequestLocked(std::span<const uint8_t> input, std::span<uint8_t> dataBuffer,
                                    uint64_t generation, RequestRecord& record,
                                    int64_t& realLatencyNs) {
  if (input.size() != pf::kVendorDataSize) return false;
  std::array<uint8_t, 16> bytes;
  std::copy(input.begin(), input.end(), bytes.begin());
  const pf::VendorPacket packet = pf::DecodeVendorPacket(bytes);
  record.packet = packet;

  if (binding_.device != nullptr && binding_.generation == generation) {
    const ChipTiming& timing = binding_.device->Config().timing;
    clock_.Advance(timing.requestCostNs);
    realLatencyNs = timing.realLatencyNs;
  }
  const bool randomFailure = DrawRandomFailureLocked();  // drawn for every request: reproducible

  const auto bufferAddress = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(dataBuffer.data()));
  if (dataBuffer.size() != pf::kVendorDataSize || bufferAddress != packet.dataAddress) return false;
  const bool write = packet.requestCode == pf::kRequestWrite;
  const bool read = packet.requestCode == pf::kRequestRead;
  if (!write && !read && packet.requestCode != pf::kRequestProbe) return false;
  if (packet.length < 1 || packet.length > pf::kVendorDataSize ||
      packet.index + packet.length > 256)
    return false;
  const std::span<uint8_t> data = dataBuffer.first(packet.length);
  if (write) record.data.assign(data.begin(), data.end());
  if (faults_.failRequest == record.sequence || randomFailure) return false;

  SimUsbDevice* device = ReachableLocked(generation);
  if (device == nullptr || !device->Config().hasChip) return false;
  SimChip& chip = device->Chip();
  chip.SetForceNack(faults_.forceNack);
  chip.SetStuckBusy(faults_.stuckBusy);
  // Handed to the chip by the first request from that number on that reaches it.
  auto due = [&](uint64_t from, uint64_t& handedFor) {
    if (from == 0 || record.sequence < from || handedFor == from) return false;
    handedFor = from;
    return true;
  };
  if (due(faults_.nackFrom, nackHandedFor_)) chip.NackUntilMasterDisabled();
  if (due(faults_.busyFrom, busyHandedFor_)) chip.BusyUntilMasterDisabled();
  chip.SetWriteProtectFrom(faults_.writeProtectFrom);
  const auto first = static_cast<uint8_t>(packet.index);
  if (write) chip.WriteRegisters(first, data);
  if (read) {
    chip.ReadRegisters(first, data);
    record.data.assign(data.begin(), data.end());
  }
  return true;
}

SimUsbDevice* SimDriver::ReachableLocked(uint64_t generation) const {
  const Binding& b = binding_;
  if (b.device == nullptr || generation == 0 || b.generation != generation) return nullptr;
  if (!b.device->IsPlugged() || b.device->Instance() != b.instance) return nullptr;
  return b.device;
}

bool SimDriver::DrawRandomFailureLocked() {
  if (faults_.failProbability <= 0) return false;
  if (!randomSeeded_ || randomSeed_ != faults_.seed) {
    random_.seed(faults_.seed);
    randomSeed_ = faults_.seed;
    randomSeeded_ = true;
  }
  const double draw = static_cast<double>(random_() >> 11) * 0x1.0p-53;  // [0, 1)
  return draw < faults_.failProbability;
}

SimUsbDevice* SimDriver::BoundDevice() const {
  std::lock_guard lock(mutex_);
  return ReachableLocked(services_.RunGenerationLocked(kDriverServiceName));
}

std::vector<RequestRecord> SimDriver::RequestLog() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void SimDriver::ClearRequestLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

void SimDriver::SetRequestLogEnabled(bool on) {
  std::lock_guard lock(mutex_);
  logEnabled_ = on;
}

uint64_t SimDriver::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requestCount_;
}

void SimDriver::SetFaults(const sim::Faults& faults) {
  std::lock_guard lock(mutex_);
  faults_ = faults;
  randomSeeded_ = false;
  nackHandedFor_ = busyHandedFor_ = 0;
}

}  // namespace veltra::sim
