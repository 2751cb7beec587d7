#include "app/simulated_device.h"

#include "app/qt_platform_window.h"
#include "app/qt_timers.h"
#include "image/bin_file.h"
#include "platform/sim/sim_system.h"

namespace veltra::app {

sim::EepromPart PartOf(const SimulatedDeviceOptions& options) {
  if (options.eeprom) {
    if (const auto part = sim::PartFromSize(options.eeprom->size)) return *part;
  }
  return sim::kDefaultDevicePart;
}

SimulatedBackend::SimulatedBackend(const SimulatedDeviceOptions& options) {
  timers_ = std::make_unique<QtTimers>();
  window_ = std::make_unique<QtPlatformWindow>();
  // A person's pause counts on the chip's clock (a write cycle ends while the user reads a
  // message), and a long session keeps no record of every request.
  backend::BackendSetup setup = backend::BackendSetup::ForPerson();
  setup.timers = timers_.get();
  core_ = std::make_unique<backend::SimulatedBackend>(options, setup);

  const std::string& problem = core_->FileProblem();
  if (!problem.empty()) {
    startupNotice_ = QString::fromStdString(problem) +
                     QStringLiteral(
                         "\n\nThe simulated EEPROM starts erased, and what is written "
                         "to it is not kept.");
  } else if (const std::optional<uint64_t> length = Device().Eeprom().LoadedFileSize()) {
    // The rule veltra-cli applies to the same file, in its words.
    if (const auto notice =
            image::BinFileFitNotice(core_->ImageFile(), *length, Device().Eeprom().Info().size - 1))
      startupNotice_ = QString::fromStdString(*notice);
  }
}

SimulatedBackend::~SimulatedBackend() {
  // The channel and its timers go before the timers and the window they use.
  core_.reset();
}

}  // namespace veltra::app
