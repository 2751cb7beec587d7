#include "cli/device_session.h"

#include "cli/cli_result.h"

namespace veltra::cli {

std::unique_ptr<DeviceSession> DeviceSession::Open(const DeviceSelection& selection,
                                                   const device::EepromType& type,
                                                   ImageFile imageFile, const DeviceHook& hook,
                                                   std::string& error,
                                                   const std::optional<std::string>& tracePath) {
  return OpenTraced(selection, type, imageFile, hook, error, tracePath, nullptr);
}

std::unique_ptr<DeviceSession> DeviceSession::Open(const DeviceSelection& selection,
                                                   const device::EepromType& type,
                                                   ImageFile imageFile, const DeviceHook& hook,
                                                   std::string& error, platform::TraceSink& trace) {
  return OpenTraced(selection, type, imageFile, hook, error, std::nullopt, &trace);
}

std::unique_ptr<DeviceSession> DeviceSession::OpenTraced(
    const DeviceSelection& selection, const device::EepromType& type, ImageFile imageFile,
    const DeviceHook& hook, std::string& error, const std::optional<std::string>& tracePath,
    platform::TraceSink* trace) {
  std::unique_ptr<DeviceSession> session(new DeviceSession());
  // Checked before the device is touched, so a trace that cannot be kept costs no transfer.
  if (tracePath) {
    if (const std::string problem = session->trace_.Open(*tracePath); !problem.empty()) {
      error = "trace " + *tracePath + ": " + problem;
      return nullptr;
    }
    session->tracing_ = true;
  }
  DeviceSelection options = selection;
  options.eeprom = type;
  backend::BackendSetup setup = backend::BackendSetup::ForPerson();
  setup.imageFileMustExist = imageFile == ImageFile::kMustExist;
  if (session->tracing_) setup.trace = &session->trace_;
  if (trace != nullptr) setup.trace = trace;
  session->backend_ = backend::OpenDeviceBackend(options, setup);
  if (backend::SimulatedDevice* simulated = session->backend_->Simulated()) {
    // The file names itself in the reason.
    if (const std::string& problem = simulated->FileProblem(); !problem.empty()) {
      error = problem;
      session->tracing_ = false;  // nothing was sent: the trace file is left as it was
      return nullptr;
    }
    if (hook) hook(simulated->Machine());
  }
  return session;
}

DeviceSession::~DeviceSession() {
  // A command that ended early still leaves its trace, reported on failure.
  if (tracing_) Finish(kExitSuccess);
}

bool DeviceSession::Connect() {
  return backend_->Connect();
}

void DeviceSession::SetReporting(std::ostream& err, std::string prefix, bool showProgress) {
  err_ = &err;
  prefix_ = std::move(prefix);
  meter_ = std::make_unique<ProgressMeter>(err, prefix_, showProgress);
}

DeviceSession::ProgressScope::ProgressScope(device::VendorTransport& transport,
                                            ProgressMeter* meter, std::string what)
    : transport_(transport), meter_(meter) {
  if (meter_ != nullptr) transport_.SetProgress(meter_->Begin(std::move(what)));
}

DeviceSession::ProgressScope::~ProgressScope() {
  transport_.SetProgress({});
  if (meter_ != nullptr) meter_->End();
}

DeviceSession::ProgressScope DeviceSession::Progress(std::string what) {
  return ProgressScope(backend_->Transport(), meter_.get(), std::move(what));
}

std::optional<std::vector<uint8_t>> DeviceSession::ReadEeprom(uint32_t length, std::string what) {
  std::vector<uint8_t> bytes(length, 0);
  const auto progress = Progress(std::move(what));
  if (backend_->Transport().EepromTransfer(false, 0, bytes.data(), length) == 0)
    return std::nullopt;
  return bytes;
}

int DeviceSession::Finish(int code, std::string_view change) {
  if (!tracing_) return code;
  tracing_ = false;
  const std::string problem = trace_.Commit();
  if (problem.empty()) return code;
  const std::string reason = prefix_ + "trace " + trace_.Path() + ": " + problem;
  if (code == kExitSuccess && !change.empty()) {
    if (err_ != nullptr) {
      ReportFailure(*err_, prefix_ + "the EEPROM was " + std::string(change) + ", but the trace " +
                               trace_.Path() + " could not be written: " + problem);
    }
    return kExitChangedTraceFailed;
  }
  if (err_ == nullptr) return kExitFailure;
  const int failed = ReportFailure(*err_, reason);
  return code == kExitSuccess ? failed : code;
}

}  // namespace veltra::cli
