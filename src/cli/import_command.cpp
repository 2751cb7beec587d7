#include "cli/import_command.h"

#include <algorithm>
#include <vector>

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/config_source.h"
#include "cli/device_command.h"
#include "cli/output_target.h"
#include "image/configuration.h"
#include "image/eeprom_config.h"
#include "image/image_layout.h"
#include "image/operation_texts.h"
#include "image/option_rules.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {
    kHelpOption, kEepromOption, kDeviceOption,    kOutputOption,  kUsedOnlyOption,
    kYesOption,  kStrictOption, kNormalizeOption, kVariantOption, kForceOption};

constexpr char kUsage[] =
    "Usage: veltra-cli import FILE.json -o FILE.bin [--eeprom TYPE] [--strict | --normalize]\n"
    "                         [--variant N]\n"
    "       veltra-cli import FILE.json --device [--used-only] [--yes] [--force]\n"
    "                         [--eeprom TYPE] [--strict | --normalize] [--variant N]\n"
    "                         [device options]\n"
    "\n"
    "Packs the configuration of a JSON document (as 'export' writes it) into an image:\n"
    "into FILE.bin (replaced in one step; '-' is standard output) or into the EEPROM\n"
    "of the device, written whole as Save EEPROM writes it. The document is\n"
    "checked first, as the pages check what is typed: a value they refuse, a malformed\n"
    "document or a configuration that does not fit the EEPROM is reported in one line\n"
    "naming the field, and nothing is written (exit 2).\n"
    "\n"
    "Options the pages change when they load them (playback DSP with playback I2S, a\n"
    "terminal the chip lacks, ...) are named on the error stream, one line per field\n"
    "and rule, and the document is written as it stands.\n"
    "\n"
    "Options:\n"
    "  --eeprom TYPE       the EEPROM part, S24C02 .. S24C512 (default: the one the\n"
    "                      document names)\n"
    "  -o, --output FILE   write the image into FILE.bin\n"
    "  --device            write the image into the device's EEPROM\n"
    "  --used-only         with --device: write only the part the image uses (its\n"
    "                      directory, sections and both tail-record places), leaving\n"
    "                      the rest of the EEPROM as it was\n"
    "  --yes               write the EEPROM without asking\n"
    "  --force             with --device: write even where the EEPROM may be a smaller\n"
    "                      part than TYPE (its start reads again at a smaller part's\n"
    "                      size and a test byte written there did not stay)\n"
    "  --strict            refuse such a document (exit 2, nothing written)\n"
    "  --normalize         apply the pages' rules as a load does, until a load changes\n"
    "                      nothing more, name each change and write the result\n"
    "  --variant N         the chip variant code 0..3 the rules go by (default: the\n"
    "                      device's with --device, else 3, the chip with every\n"
    "                      terminal)\n";

// The variant whose chip has every terminal and control.
constexpr int kDefaultVariant = 3;

// The band tables a configuration holds that its image has no room for.
void WarnUnstoredTailRecords(const image::Configuration& c,
                             const image::PackedConfiguration& packed,
                             const device::EepromType& eeprom, std::string_view prefix,
                             std::ostream& err) {
  const std::string room =
      " has no room in " + std::string(eeprom.name) + " after the sections and is not stored";
  if (image::HoldsBandTable(c.playbackEq) && !packed.tailRecord1Stored) {
    ReportWarning(err, prefix, "the playback EQ's band table (tail record 1)" + room);
  }
  if (image::HoldsBandTable(c.recordEq) && !packed.tailRecord2Stored) {
    ReportWarning(err, prefix, "the record EQ's band table (tail record 2)" + room);
  }
}

// Names what the pages would change on load. False when --strict refuses the document (the
// exit code in code).
bool FollowPageRules(const CommandLine& line, const image::ChipTraits& chip,
                     image::Configuration& configuration, std::string_view prefix,
                     const std::string& path, std::ostream& err, int& code) {
  if (line.normalize) {
    for (const image::OptionRuleChange& c : image::SettleOptionRules(configuration, chip).changes) {
      err << kProgramName << ": " << prefix << c.field << ": " << c.from << " -> " << c.to << " ("
          << c.reason << ")\n";
    }
    return true;
  }
  const std::vector<image::OptionRuleChange> changes =
      image::FindOptionRuleChanges(configuration, chip);
  if (changes.empty()) return true;
  for (const image::OptionRuleChange& c : changes) {
    if (line.strict) {
      err << kProgramName << ": " << prefix << c.field << ": " << c.reason << "\n";
    } else {
      ReportWarning(err, prefix, c.field + ": " + c.reason);
    }
  }
  if (!line.strict) return true;
  code = ReportUsageError(err, std::string(prefix) + path +
                                   ": the pages change what they load here; nothing written "
                                   "(--normalize writes their result)");
  return false;
}

}  // namespace

int RunImportCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunImportCommand(args, out, err, {});
}

int RunImportCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                     const DeviceHook& hook) {
  const std::string prefix = std::string(kImportName) + ": ";
  int parseCode = kExitSuccess;
  const std::optional<CommandLine> line =
      ParseDeviceOptions(args, kOptions, kUsage, prefix, out, err, parseCode);
  if (!line) return parseCode;
  if (line->operands.size() != 1) {
    return ReportUsageError(err, prefix + (line->operands.empty() ? "needs the document FILE.json"
                                                                  : "takes one document"));
  }
  if (line->fromDevice == line->output.has_value()) {
    return ReportUsageError(err, prefix + "needs exactly one of -o FILE.bin and --device");
  }
  for (const auto& [given, name] :
       {std::pair{line->usedOnly, "--used-only"}, std::pair{line->force, "--force"}}) {
    if (given && !line->fromDevice)
      return ReportUsageError(err, prefix + name + " goes with --device");
  }
  if (line->strict && line->normalize) {
    return ReportUsageError(err, prefix + "takes one of --strict and --normalize");
  }
  const std::string& path = line->operands.front();
  if (!IsJsonPath(path)) {
    return ReportUsageError(err, prefix + "reads a JSON document (FILE.json), not '" + path + "'");
  }

  int code = kExitFailure;
  const std::optional<LoadedConfiguration> loaded =
      LoadConfigurationFile(path, *line, DocumentEeprom::kCommandLineFirst,
                            {kExitFailure, kExitUsage}, prefix, err, code);
  if (!loaded) return code;
  if (!loaded->eeprom) {
    return ReportUsageError(
        err, prefix + path + ": the document names no EEPROM: " + MissingEepromText());
  }
  const device::EepromType& eeprom = *loaded->eeprom;
  image::Configuration configuration = *loaded->configuration;
  image::ChipTraits chip;
  chip.variant = line->variant.value_or(kDefaultVariant);
  if (!line->fromDevice && !FollowPageRules(*line, chip, configuration, prefix, path, err, code))
    return code;
  image::PackedConfiguration packed =
      image::PackConfiguration(configuration, eeprom.transferLength);
  if (!packed.fits) {
    return ReportUsageError(err, prefix + path + ": " + image::text::kSizeNotEnough + ": " +
                                     std::string(eeprom.name) + " takes " +
                                     std::to_string(eeprom.transferLength) +
                                     " bytes, the configuration needs " +
                                     std::to_string(uint64_t{image::kDataStart} + packed.total));
  }
  WarnUnstoredTailRecords(configuration, packed, eeprom, prefix, err);

  if (!line->fromDevice) {
    OutputTarget target;
    std::string problem = target.Open(line->output);
    if (problem.empty()) problem = target.Commit(packed.image, out);
    if (!problem.empty()) return ReportFailure(err, prefix + problem);
    return kExitSuccess;
  }

  if (!Confirm(*line, "change the EEPROM?", prefix, err, code)) return code;
  CommandLine device = *line;
  device.eeprom = eeprom;
  const auto session =
      ConnectToDevice(device, DeviceSession::ImageFile::kMayBeCreated, hook, prefix, err, code);
  if (!session) return code;
  if (!PartFitsType(*session, device, image::text::kWriteFailed, prefix, err, code)) return code;
  // The rules go by the connected chip unless told otherwise.
  if (!line->variant) {
    image::EepromConfig model(session->Transport());
    model.ProbeChipVariant();
    chip = model.Chip();
  }
  if (!FollowPageRules(*line, chip, configuration, prefix, path, err, code)) return code;
  // Only Header bits change: the layout stays what was checked above.
  if (line->normalize) packed = image::PackConfiguration(configuration, eeprom.transferLength);
  std::vector<uint8_t> image = packed.image;
  // The used part: the directory, the sections and both tail-record places, so that stale tail
  // bytes of an older image are overwritten.
  const uint32_t length = line->usedOnly
                              ? image::UsedImageLength(packed.total, eeprom.transferLength)
                              : eeprom.transferLength;
  if (session->Transport().EepromTransfer(true, 0, image.data(), length) == 0) {
    return ReportFailure(err, prefix + TransferFailure(*session, image::text::kWriteFailed));
  }
  if (const std::string problem = session->FileProblem(); !problem.empty()) {
    return ReportFailure(err, prefix + problem);
  }
  return session->Finish(kExitSuccess, "written");
}

}  // namespace veltra::cli
