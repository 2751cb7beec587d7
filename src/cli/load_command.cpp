#include "cli/load_command.h"

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "image/bin_file.h"
#include "image/operation_texts.h"
#include "platform/native_path.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption, kEepromOption,    kVidOption,
                                         kPidOption,  kSimulatedOption, kCapabilityOption,
                                         kImageOption};

constexpr char kUsage[] =
    "Usage: veltra-cli load FILE.bin --eeprom TYPE [--vid HEX] [--pid HEX]\n"
    "                       [--simulated] [--capability HEX] [--image FILE.bin]\n"
    "\n"
    "Writes FILE.bin into the EEPROM of the device (FILE -> EEPROM): the\n"
    "EEPROM's size less one byte, from address 0. A shorter file is completed with\n"
    "zeros, a longer one is cut; both are reported.\n"
    "\n"
    "Options:\n"
    "  --eeprom TYPE       the EEPROM part, S24C02 .. S24C512 (required)\n";

}  // namespace

int RunLoadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunLoadCommand(args, out, err, {});
}

int RunLoadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   const DeviceHook& hook) {
  const std::string prefix = std::string(kLoadName) + ": ";
  int code = kExitSuccess;
  const std::optional<CommandLine> line = ParseDeviceCommandLine(
      args, kOptions, kUsage, FileOperand::kInput, false, prefix, out, err, code);
  if (!line) return code;

  const std::string& path = line->operands.front();
  const uint32_t length = line->eeprom->transferLength;
  image::BinFileRead read = image::ReadBinFile(platform::NativePath(path), length);
  if (!read.Ok()) return ReportFailure(err, prefix + read.error);
  if (const auto notice = image::BinFileFitNotice(path, read.fileLength, length)) {
    ReportWarning(err, prefix, *notice);
  }

  code = kExitFailure;
  const auto session = ConnectSimulatedDevice(*line, SimulatedSession::ImageFile::kMayBeCreated,
                                              hook, prefix, err, code);
  if (!session) return code;
  if (session->Transport().EepromTransfer(true, 0, read.bytes.data(), length) == 0) {
    return ReportFailure(err, prefix + TransferFailure(*session, image::text::kWriteFailed));
  }
  if (const std::string problem = session->FileProblem(); !problem.empty()) {
    return ReportFailure(err, prefix + problem);
  }
  return kExitSuccess;
}

}  // namespace veltra::cli
