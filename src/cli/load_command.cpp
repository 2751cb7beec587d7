#include "cli/load_command.h"

#include <vector>

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "image/bin_file.h"
#include "image/operation_texts.h"
#include "platform/native_path.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption, kYesOption, kVerifyOption, kForceOption};

constexpr char kUsage[] =
    "Usage: veltra-cli load FILE.bin --eeprom TYPE [--verify] [--yes] [--force]\n"
    "                       [device options] [--trace FILE]\n"
    "\n"
    "Writes FILE.bin into the EEPROM of the device (FILE -> EEPROM): the\n"
    "EEPROM's size less one byte, from address 0. A shorter file is completed with\n"
    "zeros, a longer one is cut; both are reported.\n"
    "\n"
    "Options:\n"
    "  --verify            read the EEPROM back and compare; a difference fails, naming\n"
    "                      the first differing address\n"
    "  --yes               write without asking (required when standard input is not\n"
    "                      a terminal)\n"
    "  --force             write even where the EEPROM may be a smaller part than TYPE\n"
    "                      (its start reads again at a smaller part's size and a test\n"
    "                      byte written there did not stay); a part proven smaller is\n"
    "                      refused all the same\n";

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
    Warn(*line, err, prefix, *notice);
  }
  if (!Confirm(*line, "write " + path + " into the " + std::string(line->eeprom->name) + " EEPROM?",
               prefix, err, code)) {
    return code;
  }

  code = kExitFailure;
  const auto session =
      ConnectToDevice(*line, DeviceSession::ImageFile::kMayBeCreated, hook, prefix, err, code);
  if (!session) return code;
  if (!PartFitsType(*session, *line, image::text::kWriteFailed, prefix, err, code))
    return session->Finish(code);
  bool written = false;
  {
    const auto progress = session->Progress("writing EEPROM");
    written = session->Transport().EepromTransfer(true, 0, read.bytes.data(), length) != 0;
  }
  if (!written) {
    return session->Finish(
        ReportFailure(err, prefix + TransferFailure(*session, image::text::kWriteFailed)));
  }
  if (const std::string problem = session->FileProblem(); !problem.empty()) {
    return session->Finish(ReportFailure(err, prefix + problem));
  }
  if (line->verify) {
    return session->Finish(VerifyWrite(*session, read.bytes, "file", prefix, err), "written");
  }
  return session->Finish(kExitSuccess, "written");
}

}  // namespace veltra::cli
