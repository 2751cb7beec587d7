#include "cli/program_command.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "backend/simulated_units.h"
#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/config_source.h"
#include "cli/device_command.h"
#include "image/configuration.h"
#include "image/operation_texts.h"
#include "platform/guid.h"
#include "platform/text.h"
#include "platform/win32_codes.h"
#include "production/device_notices.h"
#include "production/production_log.h"
#include "production/serial_book.h"
#include "production/unit_programming.h"
#include "production/unit_trace.h"
#include "production/unit_watch.h"

namespace veltra::cli {
namespace {

using production::DeviceNotices;
using production::SerialBook;
using production::SerialFormat;
using production::UnitFilter;
using production::UnitHooks;
using production::UnitJob;
using production::UnitRecord;
using production::UnitTrace;

enum ProgramOptionId : int {
  kOptionUnits = 512,
  kOptionWatch,
  kOptionCount,
  kOptionWhole,
  kOptionSerialFormat,
  kOptionSerialCounter,
  kOptionSerialStart,
  kOptionSerialList,
  kOptionLog,
};

constexpr OptionDefinition kOptions[] = {
    kHelpOption,
    kEepromOption,
    kJsonOption,
    kYesOption,
    kNormalizeOption,
    {"units", 0, true, kOptionUnits},
    {"watch", 0, false, kOptionWatch},
    {"count", 0, true, kOptionCount},
    {"whole", 0, false, kOptionWhole},
    {"serial-format", 0, true, kOptionSerialFormat},
    {"serial-counter", 0, true, kOptionSerialCounter},
    {"serial-start", 0, true, kOptionSerialStart},
    {"serial-list", 0, true, kOptionSerialList},
    {"log", 0, true, kOptionLog},
};

constexpr char kUsage[] =
    "Usage: veltra-cli program TEMPLATE.json --eeprom TYPE [--yes] [--json] [--whole]\n"
    "                          [--serial-format FMT (--serial-counter FILE [--serial-start N]\n"
    "                          | --serial-list FILE)] [--log FILE.csv] [--watch [--count N]]\n"
    "                          [--normalize] [--simulated --units DIR] [device options]\n"
    "\n"
    "Programs units on a production line with one configuration (a document 'export'\n"
    "wrote): per unit it attaches, refuses a unit whose chip's pages would change the\n"
    "template on load (its variant's rules), puts the unit's serial into the Serial string, writes "
    "the image, reads\n"
    "the written range back and compares it, and detaches. One line per unit on\n"
    "standard output, a summary at the end. Exit 0 when every unit passed, 1 when any\n"
    "failed, 2 for wrong usage.\n"
    "\n"
    "Options:\n"
    "  --eeprom TYPE       the EEPROM part, S24C02 .. S24C512 (required)\n"
    "  --whole             write the whole transfer length, not only the used part\n"
    "  --normalize         write each unit the template as its chip's pages would\n"
    "                      store it, not refuse a unit whose pages would change it\n"
    "  --serial-format FMT a serial per unit from a number: one %u conversion,\n"
    "                      with a 0 flag and a width where wanted ('VT-%06u')\n"
    "  --serial-counter FILE\n"
    "                      the next number; reserved there before each unit is\n"
    "                      written (beside it FILE.journal)\n"
    "  --serial-start N    the first number when FILE is new or empty (default 1)\n"
    "  --serial-list FILE  one serial a line, each used once (marked '# used')\n"
    "  --log FILE.csv      append one row per unit (a new file gets a header row)\n"
    "  --watch             program units as they arrive, until --count or Ctrl+C;\n"
    "                      each once while it stays attached\n"
    "  --count N           stop after N units\n"
    "  --units DIR         with --simulated: every DIR/*.bin is a unit, in name\n"
    "                      order; an empty file starts erased, a name ending in\n"
    "                      -nack.bin acknowledges no write\n"
    "  --trace FILE        append each unit's vendor requests, under a line naming\n"
    "                      the unit and its serial (a regular file)\n"
    "  --json              one JSON object per unit and for the summary\n"
    "  --yes               write without asking\n";

// Ctrl+C: the first ends the run after the unit under way, the second aborts that unit.
std::atomic<int> gInterrupts{0};

extern "C" void OnInterrupt(int) {
  // Windows' C runtime puts the default action back before calling: the second Ctrl+C would end
  // the process instead of aborting the unit and logging it.
  std::signal(SIGINT, OnInterrupt);
  gInterrupts.fetch_add(1);
}

class InterruptScope {
 public:
  InterruptScope() {
    gInterrupts = 0;
    previous_ = std::signal(SIGINT, OnInterrupt);
  }
  ~InterruptScope() { std::signal(SIGINT, previous_); }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  void (*previous_)(int) = nullptr;
};

struct ProgramSettings {
  std::string templatePath;
  image::Configuration configuration;
  device::EepromType eeprom;
  bool whole = false;
  bool json = false;
  bool watch = false;
  std::optional<uint64_t> count;
  std::optional<std::string> units;
  std::optional<std::string> log;
  std::optional<SerialBook> serials;
};

struct UnitResult {
  UnitRecord record;
  bool passed = false;
};

std::optional<uint64_t> ParseCount(const std::string& text) {
  uint64_t value = 0;
  if (text.empty() || text.size() > 18) return std::nullopt;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

class UnitProgrammer {
 public:
  UnitProgrammer(ProgramSettings& settings, const CommandLine& line, std::ostream& err,
                 const DeviceHook& hook, UnitTrace* trace)
      : settings_(settings), line_(line), err_(err), hook_(hook), trace_(trace) {}

  // One unit on the device options given: the record of what happened. A failure of the serial
  // source or of the log stops the run (fatal set, reason on err).
  UnitResult Program(const DeviceSelection& selection, bool nackWrites, bool& fatal) {
    const auto started = std::chrono::steady_clock::now();
    UnitResult result;
    UnitRecord& record = result.record;
    record.time = std::time(nullptr);
    record.result = "refused";
    auto seconds = [&] {
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };

    std::string error;
    const auto file = DeviceSession::ImageFile::kMayBeCreated;
    const auto session =
        trace_ != nullptr
            ? DeviceSession::Open(selection, settings_.eeprom, file, hook_, error, *trace_)
            : DeviceSession::Open(selection, settings_.eeprom, file, hook_, error);
    if (!session) {
      record.detail = error;
    } else {
      record.devicePath = PathOf(*session, selection);
      session->SetReporting(err_, std::string(kProgramCommandName) + ": ", false);
      backend::SimulatedDevice* simulated = session->Backend().Simulated();
      if (simulated == nullptr) {
        ProgramOn(*session, nackWrites, record, fatal);
      } else {
        // The unit is plugged in once the line listens for it and pulled out, as an operator
        // would, once it is done: the line follows the device notices as with real units.
        simulated->Unplug();
        DeviceNotices notices(simulated->Interfaces(), platform::kKsCategoryAudio);
        const std::u16string path = simulated->InterfacePath();
        // Without notices the unit is taken as there once plugged in.
        const auto aborted = [&notices] {
          return !notices.Registered() || gInterrupts.load() >= 2;
        };
        simulated->Plug();
        if (!notices.WaitFor(platform::kDbtDeviceArrival, path, aborted) && notices.Registered()) {
          record.detail = "aborted before the unit arrived";
        } else {
          ProgramOn(*session, nackWrites, record, fatal);
        }
        simulated->Unplug();
        notices.WaitFor(platform::kDbtDeviceRemoveComplete, path, aborted);
      }
    }
    record.seconds = seconds();
    result.passed = record.result == "ok";
    return result;
  }

 private:
  static std::string PathOf(DeviceSession& session, const DeviceSelection& selection) {
    if (backend::SimulatedDevice* simulated = session.Backend().Simulated()) {
      return platform::ToUtf8(simulated->InterfacePath());
    }
    return selection.path.empty() ? session.Backend().Description() : selection.path;
  }

  void ProgramOn(DeviceSession& session, bool nackWrites, UnitRecord& record, bool& fatal) {
    if (!session.Connect()) {
      record.detail = image::text::kCannotFindDevice;
      return;
    }
    if (std::u16string matched = session.Backend().Channel().MatchedDevicePath();
        session.Backend().Simulated() == nullptr && matched.size() > 1) {
      matched[1] = u'\\';  // the Windows form the list command shows
      record.devicePath = platform::ToUtf8(matched);
    }
    UnitHooks hooks;
    if (settings_.serials) {
      hooks.reserveSerial = [this](std::string& error) {
        std::optional<std::string> serial = settings_.serials->Reserve(error);
        if (!serial) ReportFailure(err_, std::string(kProgramCommandName) + ": " + error);
        return serial;
      };
    }
    backend::SimulatedDevice* simulated = session.Backend().Simulated();
    if (nackWrites && simulated != nullptr) {
      hooks.beforeWrite = [simulated] { simulated->ForceNack(); };
    }
    hooks.abort = [] { return gInterrupts.load() >= 2; };
    hooks.transferFailure = [&session](std::string_view text) {
      return TransferFailure(session, text);
    };
    hooks.storageProblem = [&session] { return session.FileProblem(); };
    const UnitJob job{&settings_.configuration, settings_.eeprom, settings_.whole, line_.normalize};
    production::ProgramUnit(session.Transport(), job, hooks, record, fatal);
    if (record.result != "ok" && gInterrupts.load() >= 2 && record.detail.starts_with("aborted")) {
      record.detail += " by a second Ctrl+C";
    }
  }

  ProgramSettings& settings_;
  const CommandLine& line_;
  std::ostream& err_;
  const DeviceHook& hook_;
  UnitTrace* trace_;
};

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", seconds);
  return text;
}

// The unit's line on standard output.
void ReportUnit(std::ostream& out, bool json, uint64_t number, const UnitRecord& record) {
  if (json) {
    nlohmann::ordered_json object;
    object["unit"] = number;
    object["serial"] = record.serial;
    object["device"] = record.devicePath;
    object["result"] = record.result;
    object["detail"] = record.detail;
    object["seconds"] = std::stod(SecondsText(record.seconds));
    object["imageFnv1a64"] = record.imageHash;
    out << object.dump() << '\n';
  } else {
    out << "unit " << number << ": " << (record.serial.empty() ? "-" : record.serial) << ' '
        << record.result << ' ' << SecondsText(record.seconds) << " s";
    if (!record.detail.empty()) out << ": " << record.detail;
    out << '\n';
  }
  out.flush();
}

// The options of program itself into settings: "" or the usage error.
std::string TakeOwnOptions(const CommandLine& line, ProgramSettings& settings,
                           std::optional<std::string>& format, std::optional<std::string>& counter,
                           std::optional<std::string>& list, uint64_t& start) {
  for (const ParsedOption& option : line.own) {
    switch (option.id) {
      case kOptionUnits:
        settings.units = option.value;
        break;
      case kOptionWatch:
        settings.watch = true;
        break;
      case kOptionWhole:
        settings.whole = true;
        break;
      case kOptionLog:
        if (option.value.empty()) return "--log needs a file name";
        settings.log = option.value;
        break;
      case kOptionSerialFormat:
        format = option.value;
        break;
      case kOptionSerialCounter:
        if (option.value.empty()) return "--serial-counter needs a file name";
        counter = option.value;
        break;
      case kOptionSerialList:
        if (option.value.empty()) return "--serial-list needs a file name";
        list = option.value;
        break;
      case kOptionCount:
        settings.count = ParseCount(option.value);
        if (!settings.count || *settings.count == 0) {
          return "--count needs a whole number of units from 1, not '" + option.value + "'";
        }
        break;
      case kOptionSerialStart: {
        const auto value = ParseCount(option.value);
        if (!value) return "--serial-start needs a whole number, not '" + option.value + "'";
        start = *value;
        break;
      }
    }
  }
  if (format && !counter) return "--serial-format needs --serial-counter FILE";
  if (counter && !format) return "--serial-counter needs --serial-format FMT";
  if (list && (format || counter)) return "--serial-list goes without --serial-format";
  if (settings.units && !line.device.simulated) return "--units needs --simulated";
  if (settings.watch && !settings.units && line.device.simulated) {
    return "--watch with --simulated needs --units DIR";
  }
  if (settings.watch && !settings.units && !backend::kHasHardwareBackend) {
    return "--watch needs --simulated --units DIR: this build reaches no vendor driver";
  }
  return "";
}

}  // namespace

int RunProgramCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunProgramCommand(args, out, err, {});
}

int RunProgramCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                      const DeviceHook& hook) {
  const std::string prefix = std::string(kProgramCommandName) + ": ";
  int code = kExitSuccess;
  const std::optional<CommandLine> line =
      ParseDeviceOptions(args, kOptions, kUsage, prefix, out, err, code);
  if (!line) return code;
  if (line->operands.size() != 1) {
    return ReportUsageError(err, prefix + (line->operands.empty() ? "needs the template FILE.json"
                                                                  : "takes one template"));
  }
  if (!line->eeprom) return ReportUsageError(err, prefix + MissingEepromText());
  ProgramSettings settings;
  settings.json = line->json;
  std::optional<std::string> format, counter, list;
  uint64_t start = 1;
  if (std::string misuse = TakeOwnOptions(*line, settings, format, counter, list, start);
      !misuse.empty()) {
    return ReportUsageError(err, prefix + misuse);
  }
  settings.templatePath = line->operands.front();
  if (!IsJsonPath(settings.templatePath)) {
    return ReportUsageError(
        err, prefix + "reads a template document (FILE.json), not '" + settings.templatePath + "'");
  }
  const std::optional<LoadedConfiguration> loaded =
      LoadConfigurationFile(settings.templatePath, *line, DocumentEeprom::kCommandLineFirst,
                            {kExitFailure, kExitUsage}, prefix, err, code);
  if (!loaded) return code;
  settings.eeprom = *line->eeprom;
  if (!loaded->configuration) {
    return ReportUsageError(err, prefix + settings.templatePath + ": holds no configuration");
  }
  settings.configuration = *loaded->configuration;

  std::string error;
  if (format) {
    const std::optional<SerialFormat> parsed = SerialFormat::Parse(*format, error);
    if (!parsed) return ReportUsageError(err, prefix + error);
    settings.serials = SerialBook::OpenCounter(*counter, *parsed, start, error);
  } else if (list) {
    settings.serials = SerialBook::OpenList(*list, error);
  }
  if (!error.empty()) return ReportFailure(err, prefix + error);
  if (settings.serials) {
    for (const std::string& serial : settings.serials->Unlogged()) {
      Warn(*line, err, prefix,
           "serial " + serial + " was reserved by an earlier run and never logged (" +
               settings.serials->JournalPath() + ")");
    }
    if (std::string problem = settings.serials->CheckFits(); !problem.empty()) {
      return ReportUsageError(err, prefix + problem);
    }
  }
  {
    image::Configuration probe = settings.configuration;
    if (settings.serials) {
      if (const auto serial = settings.serials->Peek()) probe.serial = *serial;
    }
    const image::PackedConfiguration packed =
        image::PackConfiguration(probe, settings.eeprom.transferLength);
    if (!packed.fits) {
      return ReportUsageError(err, prefix + settings.templatePath + ": " +
                                       image::text::kSizeNotEnough + " (" +
                                       std::string(settings.eeprom.name) + ")");
    }
  }
  std::optional<UnitTrace> trace;
  if (line->trace) {
    if (std::string problem = trace.emplace(*line->trace).Check(); !problem.empty()) {
      return ReportFailure(err, prefix + problem);
    }
  }
  if (!Confirm(*line, "program the units' EEPROMs?", prefix, err, code)) return code;

  const InterruptScope interrupts;
  UnitProgrammer programmer(settings, *line, err, hook, trace ? &*trace : nullptr);
  uint64_t programmed = 0;
  uint64_t failed = 0;
  bool fatal = false;
  auto finished = [&] { return settings.count && programmed + failed >= *settings.count; };
  auto runUnit = [&](const DeviceSelection& selection, bool nackWrites) {
    const UnitResult result = programmer.Program(selection, nackWrites, fatal);
    (result.passed ? programmed : failed) += 1;
    ReportUnit(out, settings.json, programmed + failed, result.record);
    if (settings.log) {
      if (std::string problem = production::AppendUnitRecord(*settings.log, result.record);
          !problem.empty()) {
        ReportFailure(err, prefix + problem);
        fatal = true;
        return;
      }
    }
    if (settings.serials && !result.record.serial.empty()) {
      if (std::string problem = settings.serials->MarkLogged(result.record.serial);
          !problem.empty()) {
        ReportFailure(err, prefix + problem);
        fatal = true;
        return;
      }
    }
    if (trace) {
      if (std::string problem = trace->AppendUnit(programmed + failed, result.record);
          !problem.empty()) {
        ReportFailure(err, prefix + problem);
        fatal = true;
      }
    }
  };

  if (!settings.units && settings.watch) {
    const std::unique_ptr<platform::DeviceInterfaces> interfaces =
        backend::OpenDeviceInterfaces(line->device);
    if (!interfaces) return ReportFailure(err, prefix + "cannot wait for units on this system");
    DeviceNotices notices(*interfaces, platform::kKsCategoryAudio);
    if (!notices.Registered()) {
      return ReportFailure(err, prefix + "cannot wait for units: the system takes no " +
                                    "registration for device notices");
    }
    const UnitFilter filter{line->device.vid, line->device.pid,
                            platform::ToUtf16(line->device.path)};
    production::WatchUnits(
        notices, filter, [&] { return fatal || finished() || gInterrupts.load() != 0; },
        [&](const std::u16string& path) {
          DeviceSelection selection = line->device;
          selection.path = platform::ToUtf8(path);
          runUnit(selection, false);
        });
  } else if (!settings.units) {
    runUnit(line->device, false);
  } else {
    std::vector<std::string> done;
    while (!fatal && !finished() && gInterrupts.load() == 0) {
      const std::vector<backend::SimulatedUnit> units =
          backend::FindSimulatedUnits(*settings.units, error);
      if (!error.empty()) return ReportFailure(err, prefix + error);
      const backend::SimulatedUnit* next = nullptr;
      for (const backend::SimulatedUnit& unit : units) {
        if (std::find(done.begin(), done.end(), unit.file) == done.end()) {
          next = &unit;
          break;
        }
      }
      if (next == nullptr) {
        if (!settings.watch) break;
        // Waiting for the next unit to arrive.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        continue;
      }
      done.push_back(next->file);
      DeviceSelection selection;
      if (std::string problem = backend::UnitOptions(line->device, *next, selection);
          !problem.empty()) {
        return ReportFailure(err, prefix + problem);
      }
      runUnit(selection, next->nackWrites);
    }
    if (programmed + failed == 0 && !fatal && gInterrupts.load() == 0) {
      return ReportFailure(err, prefix + *settings.units + ": no unit (*.bin) to program");
    }
  }

  if (settings.json) {
    nlohmann::ordered_json summary;
    summary["programmed"] = programmed;
    summary["failed"] = failed;
    out << summary.dump() << '\n';
  } else {
    out << programmed << " programmed, " << failed << " failed\n";
  }
  if (const int written = FinishOutput(out, err, prefix); written != kExitSuccess) return written;
  return failed == 0 && !fatal ? kExitSuccess : kExitFailure;
}

}  // namespace veltra::cli
