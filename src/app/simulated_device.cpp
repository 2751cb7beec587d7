#include "app/simulated_device.h"

#include "app/qt_platform_window.h"
#include "app/qt_timers.h"
#include "image/bin_file.h"
#include "image/factory_image.h"
#include "platform/sim/default_device.h"
#include "platform/sim/sim_system.h"

namespace veltra::app {

namespace {

QString Hex(unsigned value, int width) {
  return QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

}  // namespace

SimulatedBackend::SimulatedBackend(const SimulatedDeviceOptions& options) : options_(options) {
  if (options_.imageFile.empty()) {
    imageFile_ = sim::DefaultImageFile(options_.vid, options_.pid, options_.part);
    const std::string reason =
        sim::CreateMissingImageFile(imageFile_, options_.part, [this](uint32_t size) {
          return image::BuildFactoryImage(options_.vid, options_.pid, size);
        });
    if (!reason.empty()) fileProblem_ = imageFile_ + ": " + reason;
  } else {
    imageFile_ = options_.imageFile;
  }

  system_ = std::make_unique<sim::SimSystem>();
  // A person's pause counts on the chip's clock (a write cycle ends while the user reads a
  // message), and a long session must not keep a record of every request.
  system_->Clock().SetFollowRealTime(true);
  system_->SetRequestLogEnabled(false);
  timers_ = std::make_unique<QtTimers>();
  window_ = std::make_unique<QtPlatformWindow>();
  platform_ = std::make_unique<platform::Platform>(
      platform::Platform{system_->Services(), system_->Interfaces(), system_->Driver(), *timers_,
                         system_->Clock(), system_->Debug(), system_->System()});
  channel_ = std::make_unique<device::DeviceChannel>(*platform_);
  transport_ = std::make_unique<device::VendorTransport>(*channel_);

  sim::DeviceConfig config;
  config.vid = options_.vid;
  config.pid = options_.pid;
  config.part = options_.part;
  config.capability = options_.capability;
  config.backingFile = imageFile_;
  config.timing.realLatencyNs = options_.latencyNs;
  device_ = &system_->AddDevice(config);
  const sim::SimEeprom& eeprom = device_->Eeprom();
  if (fileProblem_.empty() && !eeprom.LastError().empty()) fileProblem_ = eeprom.LastError();
  if (!fileProblem_.empty()) {
    startupNotice_ = QString::fromStdString(fileProblem_) +
                     QStringLiteral(
                         "\n\nThe simulated EEPROM starts erased, and what is written "
                         "to it is not kept.");
  } else if (const std::optional<uint64_t> length = eeprom.LoadedFileSize()) {
    // The rule veltra-cli applies to the same file, in its words.
    if (const auto notice = image::BinFileFitNotice(imageFile_, *length, eeprom.Info().size - 1))
      startupNotice_ = QString::fromStdString(*notice);
  }
}

SimulatedBackend::~SimulatedBackend() {
  // The channel goes first: it may still hold timers and a notice registration.
  transport_.reset();
  channel_.reset();
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

QString SimulatedBackend::Description() const {
  QString text =
      QStringLiteral("simulated device VID %1, PID %2, %3, chip register 0xD9 = 0x%4")
          .arg(Hex(options_.vid, 4), Hex(options_.pid, 4),
               QString::fromLatin1(sim::PartInfo(options_.part).name), Hex(options_.capability, 2));
  if (options_.latencyNs > 0)
    text +=
        QStringLiteral(", %1 ms per request").arg(static_cast<double>(options_.latencyNs) / 1e6);
  text += QStringLiteral("; EEPROM file %1").arg(QString::fromStdString(imageFile_));
  return text;
}

std::string SimulatedBackend::StorageProblem() const {
  // A worker thread asks while the GUI thread may still probe the device.
  const auto lock = system_->Lock();
  return device_->Eeprom().LastError();
}

}  // namespace veltra::app
