#include "cli/eq_upload_command.h"

#include <memory>

#include "backend/stored_log.h"
#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/config_source.h"
#include "cli/device_command.h"
#include "cli/eq_upload.h"
#include "eq/factory_defaults.h"
#include "image/audio_io_rules.h"
#include "image/eeprom_config.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption,       kEepromOption, kDeviceOption,
                                         kPresetOption,     kVidOption,    kPidOption,
                                         kCapabilityOption, kImageOption};

constexpr char kUsage[] =
    "Usage: veltra-cli eq-upload playback|record [--preset N] FILE --eeprom TYPE\n"
    "       veltra-cli eq-upload playback|record [--preset N] --device --eeprom TYPE\n"
    "                            [device options]\n"
    "\n"
    "Sends the equaliser of an image file, a JSON document (FILE.json) or the device's\n"
    "EEPROM live to the chip, as the EQ page's Test button does: the five\n"
    "bands' coefficient words and the gains, without writing the EEPROM. Prints the\n"
    "upload's log line of each band.\n"
    "\n"
    "Options:\n"
    "  --preset N          the playback preset to send: 0..3 or 00, 01, 10, 11\n"
    "                      (default 0, \"00\"); the record EQ has none\n"
    "  --eeprom TYPE       the EEPROM part, S24C02 .. S24C512 (for a JSON document,\n"
    "                      default the one it names)\n"
    "  --device            take the equaliser from the device's EEPROM\n";

std::optional<uint8_t> ParsePreset(const std::string& text) {
  for (uint8_t preset = 0; preset < eq::kPresetCount; ++preset) {
    if (text == eq::kPresetNames[preset] || text == std::to_string(preset)) return preset;
  }
  return std::nullopt;
}

}  // namespace

int RunEqUploadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunEqUploadCommand(args, out, err, {});
}

int RunEqUploadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                       const DeviceHook& hook) {
  const std::string prefix = std::string(kEqUploadName) + ": ";
  int parseCode = kExitSuccess;
  const std::optional<CommandLine> line =
      ParseDeviceOptions(args, kOptions, kUsage, prefix, out, err, parseCode);
  if (!line) return parseCode;
  const std::vector<std::string>& operands = line->operands;
  if (operands.empty() || (operands[0] != "playback" && operands[0] != "record")) {
    return ReportUsageError(err, prefix + "needs the equaliser, playback or record");
  }
  const bool playback = operands[0] == "playback";
  const size_t files = line->fromDevice ? 0 : 1;
  if (operands.size() != 1 + files) {
    return ReportUsageError(err, prefix + (line->fromDevice ? "takes a file or --device, not both"
                                                            : "needs the file or --device"));
  }
  uint8_t preset = 0;
  if (line->preset) {
    if (!playback) return ReportUsageError(err, prefix + "the record EQ has no presets");
    const std::optional<uint8_t> parsed = ParsePreset(*line->preset);
    if (!parsed) {
      return ReportUsageError(
          err, prefix + "--preset needs 0..3 or 00, 01, 10, 11, not '" + *line->preset + "'");
    }
    preset = *parsed;
  }

  int code = kExitFailure;
  std::optional<LoadedConfiguration> loaded;
  if (!line->fromDevice) {
    loaded = LoadConfigurationFile(operands[1], *line, DocumentEeprom::kCommandLineFirst,
                                   {kExitFailure, kExitUsage}, prefix, err, code);
    if (!loaded) return code;
  }
  const std::optional<device::EepromType> eeprom = loaded ? loaded->eeprom : line->eeprom;
  if (!eeprom) return ReportUsageError(err, prefix + MissingEepromText());

  CommandLine device = *line;
  device.eeprom = eeprom;
  const auto session =
      ConnectToDevice(device, DeviceSession::ImageFile::kMustExist, hook, prefix, err, code);
  if (!session) return code;
  if (line->fromDevice) {
    loaded = LoadConfigurationFromDevice(*session, *eeprom, prefix, err, code);
    if (!loaded) return code;
  }
  const std::string source = line->fromDevice ? "the EEPROM" : operands[1];
  if (!loaded->configuration) return ReportFailure(err, prefix + EmptyImageText(source));

  std::string reason;
  const std::optional<EqUpload> upload =
      PlanEqUpload(*loaded->configuration, playback, preset, reason);
  if (!upload) return ReportFailure(err, prefix + source + ": " + reason + ": nothing sent");

  // The main window shows an EQ page only for a chip that has that equaliser.
  image::EepromConfig model(session->Transport());
  model.ProbeChipVariant();
  const int flag =
      playback ? image::capability_flag::kPlaybackEq : image::capability_flag::kRecordEq;
  if (!model.Chip().Capability(flag)) {
    return ReportFailure(err, prefix + "the chip has no " + (playback ? "playback" : "record") +
                                  " equaliser (capability flag " + std::to_string(flag) +
                                  " is 0): nothing sent");
  }
  if (upload->factoryBands) {
    ReportWarning(err, prefix,
                  source +
                      " holds no band table for the equaliser: the factory "
                      "bands are sent, as the EQ page shows them");
  }
  // Where the GUI's log settings are the system's, its log gets the lines as from the EQ page.
  const std::unique_ptr<backend::StoredLog> stored = backend::OpenStoredLog();
  SendEqUpload(session->Transport(), *upload, out, stored ? &stored->Log() : nullptr);
  return FinishOutput(out, err, prefix);
}

}  // namespace veltra::cli
