#include "cli/erase_command.h"

#include <vector>

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "image/operation_texts.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption, kYesOption, kVerifyOption};

constexpr char kUsage[] =
    "Usage: veltra-cli erase --eeprom TYPE [--verify] [--yes] [device options]\n"
    "                        [--trace FILE]\n"
    "\n"
    "Erases the EEPROM of the device: zeros over its size less one byte.\n"
    "\n"
    "Options:\n"
    "  --verify            read the EEPROM back; a byte that is not 0 fails, naming\n"
    "                      the first such address\n"
    "  --yes               erase without asking (required when standard input is not\n"
    "                      a terminal): the erase cannot be undone\n";

}  // namespace

int RunEraseCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunEraseCommand(args, out, err, {});
}

int RunEraseCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                    const DeviceHook& hook) {
  const std::string prefix = std::string(kEraseName) + ": ";
  int code = kExitSuccess;
  const std::optional<CommandLine> line = ParseDeviceCommandLine(
      args, kOptions, kUsage, FileOperand::kNone, false, prefix, out, err, code);
  if (!line) return code;
  if (!Confirm(*line, "erase the " + std::string(line->eeprom->name) + " EEPROM?", prefix, err,
               code)) {
    return code;
  }

  code = kExitFailure;
  const auto session =
      ConnectToDevice(*line, DeviceSession::ImageFile::kMayBeCreated, hook, prefix, err, code);
  if (!session) return code;
  // No part check: erasing a part smaller than the type erases it whole.
  bool erased = false;
  {
    const auto progress = session->Progress("erasing EEPROM");
    erased = session->Transport().EraseEeprom() != 0;
  }
  if (!erased) {
    return session->Finish(
        ReportFailure(err, prefix + TransferFailure(*session, image::text::kEraseFailed)));
  }
  if (const std::string problem = session->FileProblem(); !problem.empty()) {
    return session->Finish(ReportFailure(err, prefix + problem));
  }
  if (line->verify) {
    const std::vector<uint8_t> erased(line->eeprom->transferLength, 0);
    return session->Finish(VerifyWrite(*session, erased, "erased", prefix, err), "erased");
  }
  return session->Finish(kExitSuccess, "erased");
}

}  // namespace veltra::cli
