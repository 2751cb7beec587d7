#include "cli/dump_command.h"

#include <vector>

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/device_command.h"
#include "image/operation_texts.h"
#include "platform/file_replace.h"

namespace veltra::cli {
namespace {

constexpr OptionDefinition kOptions[] = {kHelpOption};

constexpr char kUsage[] =
    "Usage: veltra-cli dump FILE.bin --eeprom TYPE [device options] [--trace FILE]\n"
    "\n"
    "Reads the EEPROM of the device (EEPROM -> FILE) into FILE.bin: the\n"
    "EEPROM's size less one byte, from address 0. FILE.bin is checked before the read\n"
    "and replaced in one step when the read has succeeded: it holds its old contents\n"
    "or the new ones, never a part. '-' and /dev/stdout write to standard output (a\n"
    "shell's >> appends); a device or named pipe is written as it is.\n"
    "\n"
    "Options:\n";

}  // namespace

int RunDumpCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  return RunDumpCommand(args, out, err, {});
}

int RunDumpCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   const DeviceHook& hook) {
  const std::string prefix = std::string(kDumpName) + ": ";
  int code = kExitSuccess;
  const std::optional<CommandLine> line = ParseDeviceCommandLine(
      args, kOptions, kUsage, FileOperand::kOutput, false, prefix, out, err, code);
  if (!line) return code;

  // A path that cannot be written fails now, not after a read of up to 64 KiB; nothing is
  // created or cut before the read has succeeded.
  const std::string& path = line->operands.front();
  const bool toStandardOutput = path == "-";
  platform::FileReplacement file;
  if (!toStandardOutput) {
    const std::string problem = file.Open(path, platform::FileReplacement::Streams::kWriteThrough);
    if (!problem.empty()) return ReportFailure(err, prefix + path + ": " + problem);
  }
  code = kExitFailure;
  const auto session =
      ConnectToDevice(*line, DeviceSession::ImageFile::kMustExist, hook, prefix, err, code);
  if (!session) return code;

  const uint32_t length = line->eeprom->transferLength;
  const auto read = session->ReadEeprom(length);
  if (!read) {
    return session->Finish(
        ReportFailure(err, prefix + TransferFailure(*session, image::text::kReadFailed)));
  }
  const std::vector<uint8_t>& buffer = *read;
  if (toStandardOutput) {
    out.write(reinterpret_cast<const char*>(buffer.data()), static_cast<std::streamsize>(length));
    return session->Finish(FinishOutput(out, err, prefix));
  }
  if (const std::string problem = file.Commit(buffer); !problem.empty()) {
    return session->Finish(ReportFailure(err, prefix + path + ": " + problem));
  }
  return session->Finish(kExitSuccess);
}

}  // namespace veltra::cli
