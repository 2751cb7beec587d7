#include "production/production_run.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

#include "backend/device_backend.h"
#include "backend/simulated_device.h"
#include "backend/simulated_units.h"
#include "backend/transfer_failure.h"
#include "image/operation_texts.h"
#include "platform/guid.h"
#include "platform/text.h"
#include "platform/win32_codes.h"
#include "production/device_notices.h"
#include "production/serial_text.h"
#include "production/unit_programming.h"
#include "production/unit_watch.h"

namespace veltra::production {
namespace {

// How often a line waiting for simulated units looks into their folder.
constexpr std::chrono::milliseconds kFolderPoll{200};

std::string StateText(SerialState state) {
  return state == SerialState::kNotGiven ? "which this line never gave out"
                                         : "recorded as " + std::string(SerialStateName(state));
}

}  // namespace

ProductionRun::ProductionRun(RunSettings settings, std::unique_ptr<SerialSource> serials,
                             RunObserver& observer)
    : settings_(std::move(settings)), serials_(std::move(serials)), observer_(observer) {
  settings_.device.eeprom = settings_.eeprom;
  if (settings_.log) log_.emplace(*settings_.log, settings_.standardOutput);
  if (settings_.trace) trace_.emplace(*settings_.trace, settings_.standardOutput);
}

ProductionRun::~ProductionRun() = default;

std::string ProductionRun::Check() {
  if (log_) {
    if (std::string problem = log_->Check(); !problem.empty()) return "log " + problem;
  }
  if (trace_) {
    if (std::string problem = trace_->Check(); !problem.empty()) return "trace " + problem;
  }
  image::Configuration widest = settings_.configuration;
  if (serials_) {
    std::string error;
    supply_ = serials_->SerialsLeft(error);
    if (!supply_) return error;
    if (supply_->left == 0) return serials_->Describe() + ": no serial left";
    widest.serial = supply_->longest;
  }
  if (!image::PackConfiguration(widest, settings_.eeprom.transferLength).fits) {
    return std::string(image::text::kSizeNotEnough) + " (" + std::string(settings_.eeprom.name) +
           (supply_ ? ", with the serial '" + supply_->longest + "'" : "") + ")";
  }
  return "";
}

RunSummary ProductionRun::Run() {
  if (serials_) {
    std::string error;
    const std::optional<std::vector<std::string>> abandoned = serials_->RecordAbandoned(error);
    if (!abandoned) {
      Stop(error);
      return summary_;
    }
    for (const std::string& serial : *abandoned) {
      UnitRecord record;
      record.time = std::time(nullptr);
      record.serial = serial;
      record.result = kResultAbandoned;
      record.detail = "reserved by a run that ended before it recorded its unit";
      observer_.Note("serial " + serial + " was " + record.detail + ": recorded as abandoned");
      if (log_) {
        if (std::string problem = log_->Append(CsvRow(record), kLogHeader); !problem.empty()) {
          Stop("log " + problem);
          return summary_;
        }
      }
    }
  }
  observer_.Started(serials_ ? serials_->Describe() : "", supply_);
  if (settings_.units) {
    RunSimulatedFolder();
  } else {
    RunAttachedUnits();
  }
  return summary_;
}

bool ProductionRun::Finished() const {
  return summary_.stopped || Interrupted() ||
         (settings_.count && summary_.programmed + summary_.failed >= *settings_.count);
}

void ProductionRun::Stop(std::string_view reason) {
  summary_.stopped = true;
  observer_.Stopped(reason);
}

void ProductionRun::RunSimulatedFolder() {
  std::vector<std::string> done;
  while (!Finished()) {
    std::string error;
    const std::vector<backend::SimulatedUnit> units =
        backend::FindSimulatedUnits(*settings_.units, error);
    if (!error.empty()) return Stop(error);
    const auto next = std::find_if(units.begin(), units.end(), [&](const auto& unit) {
      return std::find(done.begin(), done.end(), unit.file) == done.end();
    });
    if (next == units.end()) {
      if (!settings_.watch) break;
      std::this_thread::sleep_for(kFolderPoll);  // waiting for the next unit to arrive
      continue;
    }
    done.push_back(next->file);
    backend::DeviceOptions options;
    if (std::string problem = backend::UnitOptions(settings_.device, *next, options);
        !problem.empty()) {
      return Stop(problem);
    }
    ProgramOne(options, next->nackWrites);
  }
  if (done.empty() && !Finished()) Stop(*settings_.units + ": no unit (*.bin) to program");
}

void ProductionRun::RunAttachedUnits() {
  const std::unique_ptr<platform::DeviceInterfaces> interfaces =
      backend::OpenDeviceInterfaces(settings_.device);
  if (!interfaces) {
    // The simulated device: one unit, as the device options describe it.
    ProgramOne(settings_.device, false);
    return;
  }
  DeviceNotices notices(*interfaces, platform::kKsCategoryAudio);
  if (settings_.watch && !notices.Registered()) {
    return Stop("cannot wait for units: the system takes no registration for device notices");
  }
  const UnitFilter filter{settings_.device.vid, settings_.device.pid,
                          platform::ToUtf16(settings_.device.path)};
  WatchUnits(
      notices, filter, [this] { return Finished(); },
      [this](const std::u16string& path) {
        backend::DeviceOptions options = settings_.device;
        options.path = platform::ToUtf8(path);
        ProgramOne(options, false);
      },
      settings_.watch);
  if (!settings_.watch && summary_.programmed + summary_.failed == 0 && !Finished()) {
    Stop("no unit is attached");
  }
}

std::optional<std::string> ProductionRun::SerialFor(const std::string& carried, std::string& error,
                                                    bool& fatal, bool& kept) {
  SerialState state = SerialState::kNotGiven;
  if (!carried.empty()) {
    const std::optional<SerialState> known = serials_->StateOf(carried, error);
    if (!known) {
      fatal = true;
      return std::nullopt;
    }
    state = *known;
  }
  if ((state == SerialState::kFailed && settings_.rework) ||
      (state == SerialState::kProgrammed && settings_.reprogram)) {
    kept = true;
    return carried;
  }
  const std::string unit = "the unit carries " + SerialForScreen(carried) + ", ";
  if (settings_.rework) {
    error =
        (carried.empty() ? std::string("the unit carries no serial") : unit + StateText(state)) +
        ": --rework takes units whose serial failed on this line";
    return std::nullopt;
  }
  if (state == SerialState::kProgrammed) {
    error = unit + "programmed on this line: --reprogram writes it again with its serial";
    return std::nullopt;
  }
  if (state == SerialState::kReserved) {
    error = unit + "which a run under way reserved";
    return std::nullopt;
  }
  std::optional<std::string> serial = serials_->Reserve(error);
  if (!serial) fatal = true;
  return serial;
}

void ProductionRun::ProgramOne(const backend::DeviceOptions& selection, bool nackWrites) {
  const auto started = std::chrono::steady_clock::now();
  UnitRecord record;
  record.time = std::time(nullptr);
  record.result = kResultRefused;
  bool fatal = false;
  bool kept = false;  // the serial is the one the unit carried

  backend::BackendSetup setup = backend::BackendSetup::ForPerson();
  if (trace_) setup.trace = &unitTrace_;
  const std::unique_ptr<backend::DeviceBackend> device =
      backend::OpenDeviceBackend(selection, setup);
  backend::SimulatedDevice* simulated = device->Simulated();

  const auto programOn = [&] {
    if (!device->Connect()) {
      record.detail = image::text::kCannotFindDevice;
      return;
    }
    if (std::u16string matched = device->Channel().MatchedDevicePath();
        simulated == nullptr && matched.size() > 1) {
      matched[1] = u'\\';  // the Windows form the list command shows
      record.devicePath = platform::ToUtf8(matched);
    }
    UnitHooks hooks;
    if (serials_) {
      hooks.serialFor = [&](const std::string& carried, std::string& error, bool& failed) {
        return SerialFor(carried, error, failed, kept);
      };
    }
    if (nackWrites && simulated != nullptr) {
      hooks.beforeWrite = [simulated] { simulated->ForceNack(); };
    }
    hooks.abort = [this] { return interrupts_.load() >= 2; };
    hooks.transferFailure = [&](std::string_view text) {
      return backend::TransferFailureText(*device, text);
    };
    hooks.storageProblem = [&] { return device->StorageProblem(); };
    const UnitJob job{&settings_.configuration, settings_.eeprom, settings_.whole,
                      settings_.normalize};
    production::ProgramUnit(device->Transport(), job, hooks, record, fatal);
    if (record.result != kResultOk && interrupts_.load() >= 2 &&
        record.detail.starts_with("aborted")) {
      record.detail += settings_.abortCause;
    }
  };

  if (simulated == nullptr) {
    record.devicePath = selection.path.empty() ? device->Description() : selection.path;
    programOn();
  } else if (!simulated->FileProblem().empty()) {
    record.detail = simulated->FileProblem();  // it names the file
  } else {
    if (settings_.simulatedUnitHook) settings_.simulatedUnitHook(simulated->Machine());
    // The unit is plugged in once the line listens for it and pulled out, as an operator
    // would, once it is done: the line follows the device notices as with real units.
    simulated->Unplug();
    DeviceNotices notices(simulated->Interfaces(), platform::kKsCategoryAudio);
    const std::u16string path = simulated->InterfacePath();
    record.devicePath = platform::ToUtf8(path);
    // Without notices the unit is taken as there once plugged in.
    const auto aborted = [&] { return !notices.Registered() || interrupts_.load() >= 2; };
    simulated->Plug();
    if (!notices.WaitFor(platform::kDbtDeviceArrival, path, aborted) && notices.Registered()) {
      record.detail = "aborted before the unit arrived";
    } else {
      programOn();
    }
    simulated->Unplug();
    notices.WaitFor(platform::kDbtDeviceRemoveComplete, path, aborted);
  }
  record.seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  // Nothing was written: a serial the unit keeps, or the template's, was not given to it.
  if (record.result == kResultRefused && (kept || !serials_)) record.serial.clear();
  (record.result == kResultOk ? summary_.programmed : summary_.failed) += 1;
  if (Keep(record) && fatal) Stop(record.detail);
}

bool ProductionRun::Keep(const UnitRecord& record) {
  const uint64_t number = summary_.programmed + summary_.failed;
  observer_.UnitDone(number, record);
  if (serials_) {
    if (std::string problem = serials_->Record(record); !problem.empty()) {
      Stop(problem);
      return false;
    }
  }
  if (log_) {
    if (std::string problem = log_->Append(CsvRow(record), kLogHeader); !problem.empty()) {
      Stop("unit " + std::to_string(number) + " was not logged: " + problem);
      return false;
    }
  }
  if (trace_) {
    if (std::string problem = trace_->Append(unitTrace_.TakeUnit(number, record));
        !problem.empty()) {
      Stop("trace " + problem);
      return false;
    }
  }
  return true;
}

}  // namespace veltra::production
