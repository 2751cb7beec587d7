#include "cli/verify_command.h"

#include <vector>

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "device/write_check.h"
#include "document/configuration_json.h"
#include "image/bin_file.h"
#include "image/operation_texts.h"
#include "platform/native_path.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption, kJsonOption};

constexpr char kUsage[] =
    "Usage: veltra-cli verify FILE.bin --eeprom TYPE [--json] [device options]\n"
    "                         [--trace FILE]\n"
    "\n"
    "Reads the EEPROM of the device (its size less one byte, from address 0)\n"
    "and compares it with FILE.bin, a shorter file completed with zeros as 'load'\n"
    "writes it. Prints whether they match, else the first differing address and the\n"
    "number of differing bytes. Exit code 0: the same; 1: they differ or the EEPROM\n"
    "could not be read.\n"
    "\n"
    "Options:\n"
    "  --json              print one JSON object instead of text\n";

void WriteJson(std::ostream& out, const std::string& path, uint32_t length,
               const device::ByteComparison& comparison) {
  document::Json json = {{"file", path},
                         {"length", length},
                         {"identical", comparison.Identical()},
                         {"differingBytes", comparison.differing},
                         {"firstDifference", nullptr}};
  if (!comparison.Identical()) {
    json["firstDifference"] = {{"address", comparison.first},
                               {"eeprom", comparison.actual},
                               {"file", comparison.expected}};
  }
  out << document::JsonLine(json) << '\n';
}

}  // namespace

int RunVerifyCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunVerifyCommand(args, out, err, {});
}

int RunVerifyCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                     const DeviceHook& hook) {
  const std::string prefix = std::string(kVerifyName) + ": ";
  int code = kExitSuccess;
  const std::optional<CommandLine> line = ParseDeviceCommandLine(
      args, kOptions, kUsage, FileOperand::kInput, false, prefix, out, err, code);
  if (!line) return code;

  const std::string& path = line->operands.front();
  const uint32_t length = line->eeprom->transferLength;
  const image::BinFileRead file = image::ReadBinFile(platform::NativePath(path), length);
  if (!file.Ok()) return ReportFailure(err, prefix + file.error);
  if (const auto notice = image::BinFileFitNotice(path, file.fileLength, length)) {
    Warn(*line, err, prefix, *notice);
  }

  code = kExitFailure;
  const auto session =
      ConnectToDevice(*line, DeviceSession::ImageFile::kMustExist, hook, prefix, err, code);
  if (!session) return code;
  const auto eeprom = session->ReadEeprom(length);
  if (!eeprom) {
    return session->Finish(
        ReportFailure(err, prefix + TransferFailure(*session, image::text::kReadFailed)));
  }

  const device::ByteComparison comparison = device::CompareBytes(*eeprom, file.bytes);
  if (line->json) {
    WriteJson(out, path, length, comparison);
  } else if (!line->quiet) {
    if (comparison.Identical()) {
      out << "EEPROM matches " << path << " (" << length << " bytes)\n";
    } else {
      out << "EEPROM differs from " << path << ": " << device::DifferenceText(comparison, "file")
          << '\n';
    }
  }
  code = FinishOutput(out, err, prefix);
  if (code == kExitSuccess && !comparison.Identical()) code = kExitFailure;
  return session->Finish(code);
}

}  // namespace veltra::cli
