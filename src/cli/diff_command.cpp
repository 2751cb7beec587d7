#include "cli/diff_command.h"

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/config_source.h"
#include "cli/device_command.h"
#include "document/configuration_json.h"
#include "document/document_diff.h"
#include "image/configuration.h"

namespace veltra::cli {
namespace {

// A difference is exit 1, so an input that cannot be compared is 2, as diff(1) has it.
constexpr int kExitDiffer = 1;
constexpr int kExitTrouble = 2;

constexpr OptionDefinition kOptions[] = {kHelpOption,       kEepromOption, kJsonOption,
                                         kDeviceOption,     kVidOption,    kPidOption,
                                         kCapabilityOption, kImageOption};

constexpr char kUsage[] =
    "Usage: veltra-cli diff A B [--eeprom TYPE] [--json]\n"
    "       veltra-cli diff --device B --eeprom TYPE [--json] [device options]\n"
    "\n"
    "Compares two configurations field by field and prints each difference as\n"
    "'field: A -> B', fields named as in the JSON document of 'export'. A and B are\n"
    "image files (read for --eeprom TYPE) or JSON documents (FILE.json); with --device\n"
    "A is the device's EEPROM. Exit 0: the same, 1: they differ, 2: they\n"
    "could not be compared.\n"
    "\n"
    "Options:\n"
    "  --eeprom TYPE       the EEPROM the images are for, S24C02 .. S24C512\n"
    "  --device            compare the device's EEPROM (as A) with B\n"
    "  --json              print {\"equal\": ..., \"differences\": [...]} instead\n";

// The document a side is compared as: what export would write, or an empty image's marker.
document::Json SideDocument(const LoadedConfiguration& side) {
  document::Json json;
  const device::EepromType eeprom = side.eeprom.value_or(device::kEepromTypes.front());
  if (side.configuration) {
    json = document::ConfigurationToJson(*side.configuration, eeprom);
  } else {
    json = document::Json::object();
    json["format"] = document::kConfigurationJsonFormat;
    json["eeprom"] = std::string(eeprom.name);
    json["empty"] = true;
  }
  if (!side.eeprom) json.erase("eeprom");
  return json;
}

void WriteJsonDifferences(std::ostream& out, const std::vector<document::Difference>& differences) {
  document::Json json = document::Json::object();
  json["equal"] = differences.empty();
  document::Json& list = json["differences"] = document::Json::array();
  for (const document::Difference& d : differences) {
    document::Json entry = document::Json::object();
    entry["field"] = d.field;
    if (d.a) entry["a"] = *d.a;
    if (d.b) entry["b"] = *d.b;
    list.push_back(std::move(entry));
  }
  out << document::JsonLine(json) << '\n';
}

}  // namespace

int RunDiffCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunDiffCommand(args, out, err, {});
}

int RunDiffCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   const DeviceHook& hook) {
  const std::string prefix = std::string(kDiffName) + ": ";
  int parseCode = kExitSuccess;
  const std::optional<CommandLine> line =
      ParseDeviceOptions(args, kOptions, kUsage, prefix, out, err, parseCode);
  if (!line) return parseCode;
  const size_t files = line->fromDevice ? 1 : 2;
  if (line->operands.size() != files) {
    return ReportUsageError(err, prefix + (line->fromDevice ? "with --device takes one file B"
                                                            : "needs two files A and B"));
  }
  if (line->fromDevice && !line->eeprom) return ReportUsageError(err, prefix + MissingEepromText());

  int code = kExitTrouble;
  const SourceCodes codes{kExitTrouble, kExitTrouble};
  std::vector<LoadedConfiguration> sides;
  if (line->fromDevice) {
    const auto session =
        ConnectToDevice(*line, DeviceSession::ImageFile::kMustExist, hook, prefix, err, code);
    if (!session) return kExitTrouble;
    std::optional<LoadedConfiguration> device =
        LoadConfigurationFromDevice(*session, *line->eeprom, prefix, err, code);
    if (!device) return kExitTrouble;
    sides.push_back(std::move(*device));
  }
  for (const std::string& path : line->operands) {
    std::optional<LoadedConfiguration> side = LoadConfigurationFile(
        path, *line, DocumentEeprom::kDocumentFirst, codes, prefix, err, code);
    if (!side) return kExitTrouble;
    sides.push_back(std::move(*side));
  }

  document::Json a = SideDocument(sides[0]);
  document::Json b = SideDocument(sides[1]);
  // An empty image has no fields to compare with a configuration's.
  if (a.contains("empty") != b.contains("empty")) {
    for (document::Json* side : {&a, &b}) {
      for (const std::string_view part : image::kImageParts)
        side->erase(std::string(part));
      if (!side->contains("empty")) (*side)["empty"] = false;
    }
  }
  const std::vector<document::Difference> differences = document::DiffDocuments(a, b);
  if (line->json) {
    WriteJsonDifferences(out, differences);
  } else {
    for (const document::Difference& d : differences)
      out << document::DifferenceLine(d) << '\n';
  }
  out.flush();
  if (!out) {
    ReportFailure(err, prefix + "cannot write to standard output");
    return kExitTrouble;
  }
  return differences.empty() ? kExitSuccess : kExitDiffer;
}

}  // namespace veltra::cli
