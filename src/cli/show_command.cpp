#include "cli/show_command.h"

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/image_json.h"
#include "cli/image_report.h"
#include "cli/text_report.h"
#include "image/bin_file.h"
#include "image/image_layout.h"
#include "platform/native_path.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption, kEepromOption, kJsonOption};

constexpr char kHelpText[] =
    "Usage: veltra-cli show FILE.bin --eeprom TYPE [--json]\n"
    "\n"
    "Decodes an EEPROM image file (as 'dump' or EEPROM -> FILE writes it) and prints\n"
    "the configuration it holds: header and option bits, sections, USB strings,\n"
    "volumes, both equalisers, the MCU section and the tail records. No device is used.\n"
    "\n"
    "Options:\n"
    "  --eeprom TYPE   the EEPROM the image is for, S24C02 .. S24C512; its size less\n"
    "                  one byte is the image's length\n"
    "  --json          print one JSON object instead of text: the document 'export'\n"
    "                  writes, with the image's layout under \"layout\"\n"
    "  -h, --help      show this help\n";

}  // namespace

int RunShowCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  const std::string prefix = std::string(kShowName) + ": ";
  std::string error;
  const std::optional<CommandLine> line = ParseCommandLine(args, kOptions, error);
  if (!line) return ReportUsageError(err, prefix + error);
  if (line->help) {
    out << kHelpText;
    return FinishOutput(out, err, prefix);
  }
  if (line->operands.size() != 1) {
    return ReportUsageError(err, prefix + (line->operands.empty() ? "needs the image file FILE.bin"
                                                                  : "takes one image file"));
  }
  if (!line->eeprom) return ReportUsageError(err, prefix + MissingEepromText());

  const std::string& path = line->operands.front();
  const uint32_t transferLength = line->eeprom->transferLength;
  const image::BinFileRead read = image::ReadBinFile(platform::NativePath(path), transferLength);
  if (!read.Ok()) return ReportFailure(err, prefix + read.error);
  if (const auto notice = image::BinFileFitNotice(path, read.fileLength, transferLength)) {
    ReportWarning(err, prefix, *notice);
  }

  const image::ImageContents contents = image::ReadImage(read.bytes, transferLength);
  if (line->json) {
    out << ImageJsonLine(contents, *line->eeprom);
  } else {
    WriteTextReport(out, BuildImageReport(contents, transferLength));
  }
  return FinishOutput(out, err, prefix);
}

}  // namespace veltra::cli
