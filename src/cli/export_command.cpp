#include "cli/export_command.h"

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/config_source.h"
#include "cli/device_command.h"
#include "cli/output_target.h"
#include "document/configuration_json.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption,       kEepromOption, kDeviceOption,
                                         kOutputOption,     kVidOption,    kPidOption,
                                         kCapabilityOption, kImageOption};

constexpr char kUsage[] =
    "Usage: veltra-cli export FILE.bin --eeprom TYPE [-o FILE.json]\n"
    "       veltra-cli export --device --eeprom TYPE [-o FILE.json] [device options]\n"
    "\n"
    "Writes the configuration of an image file, or of the device's EEPROM,\n"
    "as a JSON document (format 1, see docs/configuration-json.md) that 'import'\n"
    "turns back into the same image. Without -o, or with -o -, the document goes to\n"
    "standard output; a file is replaced in one step once the document is complete.\n"
    "\n"
    "Options:\n"
    "  --eeprom TYPE       the EEPROM part, S24C02 .. S24C512 (required)\n"
    "  --device            read the device's EEPROM instead of a file\n"
    "  -o, --output FILE   where the document goes\n";

}  // namespace

int RunExportCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunExportCommand(args, out, err, {});
}

int RunExportCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                     const DeviceHook& hook) {
  const std::string prefix = std::string(kExportName) + ": ";
  int parseCode = kExitSuccess;
  const std::optional<CommandLine> line =
      ParseDeviceOptions(args, kOptions, kUsage, prefix, out, err, parseCode);
  if (!line) return parseCode;
  if (line->fromDevice && !line->operands.empty()) {
    return ReportUsageError(err, prefix + "takes a file or --device, not both");
  }
  if (!line->fromDevice && line->operands.size() != 1) {
    return ReportUsageError(
        err, prefix + (line->operands.empty() ? "needs the image file FILE.bin or --device"
                                              : "takes one image file"));
  }
  if (!line->fromDevice && IsJsonPath(line->operands.front())) {
    return ReportUsageError(err, prefix + "exports an image file, not a JSON document");
  }
  if (!line->eeprom) return ReportUsageError(err, prefix + MissingEepromText());

  // A target that cannot be written fails before the device is read.
  OutputTarget target;
  if (const std::string problem = target.Open(line->output); !problem.empty()) {
    return ReportFailure(err, prefix + problem);
  }

  int code = kExitFailure;
  std::optional<LoadedConfiguration> loaded;
  std::string source;
  if (line->fromDevice) {
    const auto session =
        ConnectToDevice(*line, DeviceSession::ImageFile::kMustExist, hook, prefix, err, code);
    if (!session) return code;
    loaded = LoadConfigurationFromDevice(*session, *line->eeprom, prefix, err, code);
    source = "the EEPROM";
  } else {
    source = line->operands.front();
    loaded = LoadConfigurationFile(source, *line, DocumentEeprom::kCommandLineFirst,
                                   {kExitFailure, kExitUsage}, prefix, err, code);
  }
  if (!loaded) return code;
  if (!loaded->configuration) return ReportFailure(err, prefix + EmptyImageText(source));

  const std::string text = document::ConfigurationJsonText(*loaded->configuration, *line->eeprom);
  const std::string problem =
      target.Commit(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), out);
  if (!problem.empty()) return ReportFailure(err, prefix + problem);
  return kExitSuccess;
}

}  // namespace veltra::cli
