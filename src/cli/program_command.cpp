#include "cli/program_command.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/config_source.h"
#include "cli/device_command.h"
#include "image/configuration.h"
#include "image/operation_texts.h"
#include "production/file_serial_source.h"
#include "production/production_run.h"
#include "production/serial_format.h"

namespace veltra::cli {
namespace {

using production::FileSerialSource;
using production::RunSettings;
using production::UnitRecord;

enum ProgramOptionId : int {
  kOptionUnits = 512,
  kOptionWatch,
  kOptionCount,
  kOptionWhole,
  kOptionSerialFormat,
  kOptionSerialCounter,
  kOptionSerialStart,
  kOptionSerialList,
  kOptionNoSerial,
  kOptionReprogram,
  kOptionRework,
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
    {"no-serial", 0, false, kOptionNoSerial},
    {"reprogram", 0, false, kOptionReprogram},
    {"rework", 0, false, kOptionRework},
    {"log", 0, true, kOptionLog},
};

constexpr char kUsage[] =
    "Usage: veltra-cli program TEMPLATE.json --eeprom TYPE [--yes] [--json] [--whole]\n"
    "                          (--serial-format FMT --serial-counter FILE [--serial-start N]\n"
    "                          | --serial-list FILE | --no-serial) [--reprogram] [--rework]\n"
    "                          [--log FILE.csv] [--trace FILE] [--watch] [--count N]\n"
    "                          [--normalize] [--simulated --units DIR] [device options]\n"
    "\n"
    "Programs units on a production line with one configuration (a document 'export'\n"
    "wrote): per unit it attaches, refuses a unit whose chip's pages would change the\n"
    "template on load (its variant's rules), reads the serial the unit carries, puts\n"
    "the unit's serial into the Serial string, writes the image, reads the written\n"
    "range back and compares it, and detaches. One line per unit on standard output,\n"
    "a summary at the end. Exit 0 when every unit passed, 1 when any failed, 2 for\n"
    "wrong usage or a check before the first unit that failed (nothing written).\n"
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
    "  --no-serial         keep the template's Serial string in every unit\n"
    "  --reprogram         write a unit that carries a serial this line programmed\n"
    "                      again, with that serial (refused otherwise)\n"
    "  --rework            take only units that carry a serial this line gave out\n"
    "                      and that failed, each written again with that serial\n"
    "  --log FILE.csv      append one row per unit (a new file gets a header row);\n"
    "                      '-': standard output, the unit lines go to standard error\n"
    "  --trace FILE        append each unit's vendor requests, under a line naming\n"
    "                      the unit and its serial; '-': standard output\n"
    "  --watch             program units as they arrive, until --count or Ctrl+C;\n"
    "                      each once while it stays attached (without it: the\n"
    "                      units attached now, once each)\n"
    "  --count N           stop after N units\n"
    "  --units DIR         with --simulated: every DIR/*.bin is a unit, in name\n"
    "                      order; an empty file starts erased, a name ending in\n"
    "                      -nack.bin acknowledges no write\n"
    "  --json              one JSON object per unit and for the summary\n"
    "  --yes               write without asking\n";

// Ctrl+C: the first ends the run after the unit under way, the second aborts that unit.
std::atomic<production::ProductionRun*> gRun{nullptr};

extern "C" void OnInterrupt(int) {
  // Windows' C runtime puts the default action back before calling: the second Ctrl+C would end
  // the process instead of aborting the unit and logging it.
  std::signal(SIGINT, OnInterrupt);
  if (production::ProductionRun* run = gRun.load()) run->Interrupt();
}

class InterruptScope {
 public:
  explicit InterruptScope(production::ProductionRun& run) {
    gRun = &run;
    previous_ = std::signal(SIGINT, OnInterrupt);
  }
  ~InterruptScope() {
    std::signal(SIGINT, previous_);
    gRun = nullptr;
  }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  void (*previous_)(int) = nullptr;
};

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", seconds);
  return text;
}

// What the terminal shows of a run: a line per unit (JSON with --json) where the units go, what
// the run notes and why it stopped on standard error.
class ProgramReport final : public production::RunObserver {
 public:
  ProgramReport(std::ostream& units, std::ostream& err, const CommandLine& line)
      : units_(units), err_(err), line_(line) {}

  void Started(std::string_view source,
               const std::optional<production::SerialSupply>& supply) override {
    if (supply && !line_.quiet) {
      err_ << kProgramName << ": " << kPrefix << source << ": " << supply->left
           << " serials left, the next " << supply->next << '\n';
    }
  }
  void UnitDone(uint64_t number, const UnitRecord& record) override {
    if (line_.json) {
      nlohmann::ordered_json object;
      object["unit"] = number;
      object["serial"] = record.serial;
      object["device"] = record.devicePath;
      object["result"] = record.result;
      object["detail"] = record.detail;
      object["seconds"] = std::stod(SecondsText(record.seconds));
      object["imageFnv1a64"] = record.imageHash;
      units_ << object.dump() << '\n';
    } else {
      units_ << "unit " << number << ": " << (record.serial.empty() ? "-" : record.serial) << ' '
             << record.result << ' ' << SecondsText(record.seconds) << " s";
      if (!record.detail.empty()) units_ << ": " << record.detail;
      units_ << '\n';
    }
    units_.flush();
  }
  void Note(std::string_view text) override {
    if (!line_.quiet) err_ << kProgramName << ": " << kPrefix << text << '\n';
  }
  void Stopped(std::string_view reason) override {
    ReportFailure(err_, std::string(kPrefix) + std::string(reason));
  }

 private:
  static constexpr char kPrefix[] = "program: ";
  std::ostream& units_;
  std::ostream& err_;
  const CommandLine& line_;
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

// The serial options as given.
struct SerialOptions {
  std::optional<std::string> format, counter, list;
  std::optional<uint64_t> start;
  bool none = false;
};

// The options of program itself into settings: "" or the usage error.
std::string TakeOwnOptions(const CommandLine& line, RunSettings& settings, SerialOptions& serial) {
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
        serial.format = option.value;
        break;
      case kOptionSerialCounter:
        if (option.value.empty()) return "--serial-counter needs a file name";
        serial.counter = option.value;
        break;
      case kOptionSerialList:
        if (option.value.empty()) return "--serial-list needs a file name";
        serial.list = option.value;
        break;
      case kOptionNoSerial:
        serial.none = true;
        break;
      case kOptionReprogram:
        settings.reprogram = true;
        break;
      case kOptionRework:
        settings.rework = true;
        break;
      case kOptionCount:
        settings.count = ParseCount(option.value);
        if (!settings.count || *settings.count == 0) {
          return "--count needs a whole number of units from 1, not '" + option.value + "'";
        }
        break;
      case kOptionSerialStart:
        serial.start = ParseCount(option.value);
        if (!serial.start) return "--serial-start needs a whole number, not '" + option.value + "'";
        break;
    }
  }
  // A line database would come in here as one more source of serials.
  if (serial.format && !serial.counter) return "--serial-format needs --serial-counter FILE";
  if (serial.counter && !serial.format) return "--serial-counter needs --serial-format FMT";
  if (serial.start && !serial.counter) return "--serial-start goes with --serial-counter";
  if (serial.list && serial.format) return "--serial-list goes without --serial-format";
  const bool source = serial.format || serial.list;
  if (serial.none && source) return "--no-serial goes without a serial source";
  if (!serial.none && !source) {
    return "needs a source of serials (--serial-format FMT --serial-counter FILE, or "
           "--serial-list FILE), or --no-serial to keep the template's Serial string";
  }
  if (serial.none && (settings.reprogram || settings.rework)) {
    return std::string(settings.rework ? "--rework" : "--reprogram") +
           " needs a source of serials: it keeps a serial the line gave out";
  }
  if (settings.log == "-" && line.trace == "-") {
    return "--log - and --trace - cannot both take standard output";
  }
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
  RunSettings settings;
  SerialOptions serial;
  if (std::string misuse = TakeOwnOptions(*line, settings, serial); !misuse.empty()) {
    return ReportUsageError(err, prefix + misuse);
  }
  const std::string templatePath = line->operands.front();
  if (!IsJsonPath(templatePath)) {
    return ReportUsageError(
        err, prefix + "reads a template document (FILE.json), not '" + templatePath + "'");
  }
  const std::optional<LoadedConfiguration> loaded =
      LoadConfigurationFile(templatePath, *line, DocumentEeprom::kCommandLineFirst,
                            {kExitFailure, kExitUsage}, prefix, err, code);
  if (!loaded) return code;
  if (!loaded->configuration) {
    return ReportUsageError(err, prefix + templatePath + ": holds no configuration");
  }
  settings.configuration = *loaded->configuration;
  settings.eeprom = *line->eeprom;
  settings.device = line->device;
  settings.normalize = line->normalize;
  settings.trace = line->trace;
  settings.standardOutput = &out;
  settings.abortCause = " by a second Ctrl+C";
  settings.simulatedUnitHook = hook;

  std::unique_ptr<FileSerialSource> files;
  if (serial.format) {
    std::string error;
    std::optional<production::SerialFormat> format =
        production::SerialFormat::Parse(*serial.format, error);
    if (!format) return ReportUsageError(err, prefix + error);
    files = std::make_unique<FileSerialSource>(
        FileSerialSource::Counter(*serial.counter, std::move(*format), serial.start.value_or(1)));
  } else if (serial.list) {
    files = std::make_unique<FileSerialSource>(FileSerialSource::List(*serial.list));
  }
  if (files && settings.log && *settings.log != "-") files->SetLog(*settings.log);
  FileSerialSource* counter = serial.counter ? files.get() : nullptr;

  // The unit lines leave standard output to the log or trace that takes it.
  std::ostream& units = settings.log == "-" || settings.trace == "-" ? err : out;
  ProgramReport report(units, err, *line);
  production::ProductionRun run(std::move(settings), std::move(files), report);
  if (std::string problem = run.Check(); !problem.empty()) {
    const bool fit = problem.starts_with(image::text::kSizeNotEnough);
    return ReportUsageError(err, prefix + (fit ? templatePath + ": " : "") + problem);
  }
  if (counter != nullptr && serial.start && counter->CounterHeld() &&
      *counter->CounterHeld() != *serial.start) {
    Warn(*line, err, prefix,
         "--serial-start " + std::to_string(*serial.start) + " is not used: " + *serial.counter +
             " holds the next number, " + std::to_string(*counter->CounterHeld()));
  }
  if (!Confirm(*line, "program the units' EEPROMs?", prefix, err, code)) return code;

  production::RunSummary summary;
  {
    const InterruptScope interrupts(run);
    summary = run.Run();
  }
  if (line->json) {
    nlohmann::ordered_json object;
    object["programmed"] = summary.programmed;
    object["failed"] = summary.failed;
    units << object.dump() << '\n';
  } else {
    units << summary.programmed << " programmed, " << summary.failed << " failed\n";
  }
  if (const int written = FinishOutput(out, err, prefix); written != kExitSuccess) return written;
  return summary.failed == 0 && !summary.stopped ? kExitSuccess : kExitFailure;
}

}  // namespace veltra::cli
