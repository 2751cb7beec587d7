#include "app/gui_backend.h"

#include "app/qt_platform_window.h"
#include "app/qt_timers.h"
#include "image/bin_file.h"

namespace veltra::app {

namespace {

const std::string kNoFile;

}  // namespace

GuiBackend::GuiBackend(const backend::DeviceOptions& options) : options_(options) {
  timers_ = std::make_unique<QtTimers>();
  window_ = std::make_unique<QtPlatformWindow>();
  // A person's pause counts on the chip's clock (a write cycle ends while the user reads a
  // message), and a long session keeps no record of every request.
  backend::BackendSetup setup = backend::BackendSetup::ForPerson();
  setup.timers = timers_.get();
  core_ = backend::OpenDeviceBackend(options, setup);
  simulated_ = core_->Simulated();
  if (simulated_ == nullptr) return;

  const std::string& problem = simulated_->FileProblem();
  if (!problem.empty()) {
    // A file refused at start is never written; one that could not be made is tried again at
    // every write, whose message then says why it failed.
    const bool inMemory = !simulated_->KeepsFile();
    startupNotice_ =
        QString::fromStdString(problem) +
        (inMemory ? QStringLiteral("\n\nThe file is left as it is. The simulated EEPROM starts "
                                   "erased and keeps what is written to it in memory only, until "
                                   "the tool ends.")
                  : QStringLiteral("\n\nThe simulated EEPROM starts erased."));
  } else if (const std::optional<uint64_t> length = simulated_->LoadedFileSize()) {
    // The rule veltra-cli applies to the same file, in its words.
    const uint32_t size = options.eeprom.value_or(backend::kDefaultEeprom).size;
    if (const auto notice = image::BinFileFitNotice(simulated_->ImageFile(), *length, size - 1))
      startupNotice_ = QString::fromStdString(*notice);
  }
}

GuiBackend::~GuiBackend() {
  // The channel and its timers go before the timers and the window they use.
  simulated_ = nullptr;
  core_.reset();
}

const std::string& GuiBackend::ImageFile() const {
  return simulated_ != nullptr ? simulated_->ImageFile() : kNoFile;
}

void GuiBackend::Unplug() {
  simulated_->Unplug();
}

void GuiBackend::Plug() {
  simulated_->Plug();
}

bool GuiBackend::IsPlugged() const {
  return simulated_->IsPlugged();
}

const std::string& GuiBackend::FileProblem() const {
  return simulated_ != nullptr ? simulated_->FileProblem() : kNoFile;
}

}  // namespace veltra::app
