#include "backend/simulated_backend.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "image/factory_image.h"
#include "platform/byte_text.h"
#include "platform/sim/default_device.h"
#include "platform/sim/faults.h"
#include "platform/sim/sim_system.h"
#include "platform/text.h"

namespace veltra::backend {
namespace {

sim::ChipTiming ToSim(const SimulatedTiming& timing, int64_t realLatencyNs) {
  return {.requestCostNs = timing.requestCostNs,
          .i2cBitRate = timing.i2cBitRate,
          .writeCycleNs = timing.writeCycleNs,
          .realLatencyNs = realLatencyNs};
}

sim::Faults ToSim(const SimulatedFaults& faults) {
  return {.failRequest = faults.failRequest,
          .failProbability = faults.failProbability,
          .seed = faults.seed,
          .forceNack = faults.forceNack,
          .stuckBusy = faults.stuckBusy,
          .unplugAfter = faults.unplugAfter,
          .nackFrom = faults.nackFrom,
          .busyFrom = faults.busyFrom,
          .writeProtectFrom = faults.writeProtectFrom};
}
// A field added to the simulator's faults needs its place in the back end's.
static_assert(sizeof(SimulatedFaults) == sizeof(sim::Faults));

}  // namespace

sim::EepromPart SimulatedPart(const DeviceOptions& options) {
  const std::optional<sim::EepromPart> part =
      sim::PartFromSize(options.eeprom.value_or(kDefaultEeprom).size);
  return part.value_or(sim::EepromPart::k24C64);
}

SimulatedBackend::SimulatedBackend(const DeviceOptions& options, const BackendSetup& setup)
    : options_(options), part_(SimulatedPart(options)) {
  if (setup.storage == BackendSetup::Storage::kFile) {
    if (options_.imageFile.empty()) {
      imageFile_ = sim::DefaultImageFile(options_.vid, options_.pid, part_);
      const std::string reason =
          sim::CreateMissingImageFile(imageFile_, part_, [this](uint32_t size) {
            return image::BuildFactoryImage(options_.vid, options_.pid, size);
          });
      if (!reason.empty()) fileProblem_ = imageFile_ + ": " + reason;
    } else {
      imageFile_ = options_.imageFile;
      std::error_code ec;
      if (setup.imageFileMustExist && !std::filesystem::exists(imageFile_, ec)) {
        fileProblem_ =
            imageFile_ + ": " + (ec ? ec.message() : std::generic_category().message(ENOENT));
      }
    }
  }

  system_ = std::make_unique<sim::SimSystem>();
  system_->Clock().SetFollowRealTime(setup.realTime);
  system_->SetRequestLogEnabled(setup.requestLog);
  platform::ControlDeviceOpener* driver = &system_->Driver();
  if (setup.trace != nullptr) {
    tracingDriver_ = std::make_unique<platform::TracingControlDeviceOpener>(
        system_->Driver(), system_->Clock(), *setup.trace);
    driver = tracingDriver_.get();
  }
  platform::Timers& timers = setup.timers != nullptr ? *setup.timers : system_->Timers();
  platform_ = std::make_unique<platform::Platform>(
      platform::Platform{system_->Services(), system_->Interfaces(), *driver, timers,
                         system_->Clock(), system_->Debug(), system_->System()});

  sim::DeviceConfig config;
  config.vid = options_.vid;
  config.pid = options_.pid;
  config.part = part_;
  config.capability = options_.capability;
  if (!options_.instance.empty()) config.instance = options_.instance;
  config.backingFile = imageFile_;
  config.timing = ToSim(setup.timing, options_.latencyNs);
  device_ = &system_->AddDevice(config);
  if (fileProblem_.empty()) fileProblem_ = device_->Eeprom().LastError();

  channel_ = std::make_unique<device::DeviceChannel>(*platform_);
  transport_ = std::make_unique<device::VendorTransport>(*channel_);
  transport_->SetTransportEepromSize(sim::PartInfo(part_).size);
}

SimulatedBackend::~SimulatedBackend() {
  if (channel_) {
    if (channel_->IsAttached()) channel_->DetachDevice();
    if (channel_->IsDriverOpen()) channel_->CloseDriver();
  }
  // The channel goes before the machine it holds timers and registrations on.
  transport_.reset();
  channel_.reset();
}

bool SimulatedBackend::Connect() {
  if (!channel_->IsDriverOpen()) channel_->OpenDriver();
  channel_->SetPathFilter(platform::ToUtf16(options_.path));
  return channel_->ConnectDevice(options_.vid, options_.pid, nullptr, nullptr, 0, 0) != 0;
}

std::string SimulatedBackend::StorageProblem() const {
  // A worker thread asks while another thread may still probe the device.
  const auto lock = system_->Lock();
  return device_->Eeprom().LastError();
}

std::string SimulatedBackend::Description() const {
  std::string text = "simulated device VID " + platform::HexText(options_.vid, 4) + ", PID " +
                     platform::HexText(options_.pid, 4) + ", " + sim::PartInfo(part_).name +
                     ", chip register 0xD9 = 0x" + platform::HexText(options_.capability, 2);
  if (options_.latencyNs > 0) {
    char latency[32];
    std::snprintf(latency, sizeof latency, ", %g ms per request",
                  static_cast<double>(options_.latencyNs) / 1e6);
    text += latency;
  }
  if (imageFile_.empty()) return text + "; EEPROM in memory";
  // A file refused at start is left alone: the EEPROM is the one in memory.
  const auto lock = system_->Lock();
  if (!device_->Eeprom().IsFileBacked())
    return text + "; EEPROM in memory, " + imageFile_ + " refused";
  return text + "; EEPROM file " + imageFile_;
}

void SimulatedBackend::Unplug() {
  system_->Unplug(*device_);
}

void SimulatedBackend::Plug() {
  system_->Plug(*device_);
}

bool SimulatedBackend::IsPlugged() const {
  return device_->IsPlugged();
}

platform::DeviceInterfaces& SimulatedBackend::Interfaces() {
  return system_->Interfaces();
}

std::u16string SimulatedBackend::InterfacePath() const {
  return device_->InterfacePath();
}

void SimulatedBackend::SetFaults(const SimulatedFaults& faults) {
  system_->SetFaults(ToSim(faults));
}

void SimulatedBackend::ForceNack() {
  system_->Faults().forceNack = true;
}

bool SimulatedBackend::KeepsFile() const {
  return device_->Eeprom().IsFileBacked();
}

std::optional<uint64_t> SimulatedBackend::LoadedFileSize() const {
  return device_->Eeprom().LoadedFileSize();
}

}  // namespace veltra::backend
