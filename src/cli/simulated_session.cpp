#include "cli/simulated_session.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "image/factory_image.h"
#include "platform/native_path.h"
#include "platform/sim/sim_system.h"
#ifdef VELTRA_WIN32_BACKEND
#include "platform/win32/win32_platform.h"
#endif

namespace veltra::cli {

std::unique_ptr<SimulatedSession> SimulatedSession::Open(const DeviceSelection& selection,
                                                         const device::EepromType& type,
                                                         ImageFile imageFile,
                                                         const DeviceHook& hook,
                                                         std::string& error) {
#ifdef VELTRA_WIN32_BACKEND
  if (!selection.simulated) {
    std::unique_ptr<SimulatedSession> session(new SimulatedSession());
    session->selection_ = selection;
    session->hardware_ = std::make_unique<win32::Win32Platform>();
    session->channel_ = std::make_unique<device::DeviceChannel>(session->hardware_->Platform());
    session->transport_ = std::make_unique<device::VendorTransport>(*session->channel_);
    session->transport_->SetTransportEepromSize(type.size);
    // A driver that cannot be installed shows when Connect cannot attach, as in the GUI.
    session->channel_->OpenDriver();
    return session;
  }
#endif
  const std::optional<sim::EepromPart> part = sim::PartFromSize(type.size);
  if (!part) {
    error = "no simulated EEPROM part of " + std::to_string(type.size) + " bytes";
    return nullptr;
  }
  std::unique_ptr<SimulatedSession> session(new SimulatedSession());
  session->selection_ = selection;
  if (selection.imageFile.empty()) {
    session->imageFile_ = sim::DefaultImageFile(selection.vid, selection.pid, *part);
    const std::string reason =
        sim::CreateMissingImageFile(session->imageFile_, *part, [&selection](uint32_t size) {
          return image::BuildFactoryImage(selection.vid, selection.pid, size);
        });
    if (!reason.empty()) {
      error = session->imageFile_ + ": " + reason;
      return nullptr;
    }
  } else {
    session->imageFile_ = selection.imageFile;
    std::error_code ec;
    if (imageFile == ImageFile::kMustExist &&
        !std::filesystem::exists(platform::NativePath(session->imageFile_), ec)) {
      error = session->imageFile_ + ": " +
              (ec ? ec.message() : std::generic_category().message(ENOENT));
      return nullptr;
    }
  }

  session->system_ = std::make_unique<sim::SimSystem>();
  sim::SimSystem& system = *session->system_;
  // As in the GUI: a write cycle ends in real time, and no record of every request is kept.
  system.Clock().SetFollowRealTime(true);
  system.SetRequestLogEnabled(false);
  sim::DeviceConfig config;
  config.vid = selection.vid;
  config.pid = selection.pid;
  config.part = *part;
  config.capability = selection.capability;
  config.backingFile = session->imageFile_;
  session->device_ = &system.AddDevice(config);
  // The file names itself in the reason.
  if (const std::string problem = session->FileProblem(); !problem.empty()) {
    error = problem;
    return nullptr;
  }
  if (hook) hook(system, *session->device_);

  session->channel_ = std::make_unique<device::DeviceChannel>(system.Platform());
  session->transport_ = std::make_unique<device::VendorTransport>(*session->channel_);
  session->transport_->SetTransportEepromSize(type.size);
  // A driver that cannot be opened shows when Connect cannot attach, as in the GUI.
  session->channel_->OpenDriver();
  return session;
}

SimulatedSession::~SimulatedSession() {
  if (channel_) {
    if (channel_->IsAttached()) channel_->DetachDevice();
    channel_->CloseDriver();
  }
  // The channel goes before the machine it holds registrations on.
  transport_.reset();
  channel_.reset();
}

bool SimulatedSession::Connect() {
  return channel_->ConnectDevice(selection_.vid, selection_.pid, nullptr, nullptr, 0, 0) != 0;
}

std::string SimulatedSession::FileProblem() const {
  if (!system_) return {};
  const auto lock = system_->Lock();
  return device_->Eeprom().LastError();
}

}  // namespace veltra::cli
