#include "cli/erase_command.h"

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "image/operation_texts.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption,       kYesOption,  kEepromOption,
                                         kVidOption,        kPidOption,  kSimulatedOption,
                                         kCapabilityOption, kImageOption};

constexpr char kUsage[] =
    "Usage: veltra-cli erase --yes --eeprom TYPE [--vid HEX] [--pid HEX]\n"
    "                        [--simulated] [--capability HEX] [--image FILE.bin]\n"
    "\n"
    "Erases the EEPROM of the device: zeros over its size less one byte.\n"
    "\n"
    "Options:\n"
    "  --yes               required: the erase cannot be undone\n"
    "  --eeprom TYPE       the EEPROM part, S24C02 .. S24C512 (required)\n";

}  // namespace

int RunEraseCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunEraseCommand(args, out, err, {});
}

int RunEraseCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                    const DeviceHook& hook) {
  const std::string prefix = std::string(kEraseName) + ": ";
  int code = kExitSuccess;
  const std::optional<CommandLine> line = ParseDeviceCommandLine(
      args, kOptions, kUsage, FileOperand::kNone, true, prefix, out, err, code);
  if (!line) return code;

  code = kExitFailure;
  const auto session = ConnectSimulatedDevice(*line, SimulatedSession::ImageFile::kMayBeCreated,
                                              hook, prefix, err, code);
  if (!session) return code;
  if (session->Transport().EraseEeprom() == 0)
    return ReportFailure(err, prefix + TransferFailure(*session, image::text::kEraseFailed));
  if (const std::string problem = session->FileProblem(); !problem.empty()) {
    return ReportFailure(err, prefix + problem);
  }
  return kExitSuccess;
}

}  // namespace veltra::cli
