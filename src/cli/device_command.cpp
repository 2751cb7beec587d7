#include "cli/device_command.h"

#include <string>

#include "cli/cli_result.h"
#include "image/operation_texts.h"

namespace veltra::cli {

std::unique_ptr<SimulatedSession> ConnectSimulatedDevice(const CommandLine& line,
                                                         SimulatedSession::ImageFile imageFile,
                                                         const DeviceHook& hook,
                                                         std::string_view prefix, std::ostream& err,
                                                         int& code) {
  std::string error;
  std::unique_ptr<SimulatedSession> session =
      SimulatedSession::Open(line.device, *line.eeprom, imageFile, hook, error);
  if (!session) {
    code = ReportFailure(err, std::string(prefix) + error);
    return nullptr;
  }
  if (!session->Connect()) {
    code = ReportFailure(err, std::string(prefix) + image::text::kCannotFindDevice);
    return nullptr;
  }
  return session;
}

std::optional<CommandLine> ParseDeviceCommandLine(std::span<const std::string> args,
                                                  std::span<const OptionDefinition> options,
                                                  std::string_view usage, FileOperand file,
                                                  bool requireYes, std::string_view prefix,
                                                  std::ostream& out, std::ostream& err, int& code) {
  const std::string lead(prefix);
  std::string error;
  std::optional<CommandLine> line = ParseCommandLine(args, options, error);
  if (!line) {
    code = ReportUsageError(err, lead + error);
    return std::nullopt;
  }
  if (line->help) {
    out << usage << kDeviceOptionsHelp << "  -h, --help          show this help\n";
    code = FinishOutput(out, err, prefix);
    return std::nullopt;
  }
  std::string misuse;
  const std::string role = file == FileOperand::kInput ? "input" : "output";
  if (file == FileOperand::kNone && !line->operands.empty()) {
    misuse = "takes no file ('" + line->operands.front() + "')";
  } else if (file != FileOperand::kNone && line->operands.size() != 1) {
    misuse = line->operands.empty() ? "needs the " + role + " file FILE.bin"
                                    : "takes one " + role + " file";
  } else if (requireYes && !line->yes) {
    misuse = "erases only with --yes";
  } else if (!line->eeprom) {
    misuse = MissingEepromText();
  }
  if (!misuse.empty()) {
    code = ReportUsageError(err, lead + misuse);
    return std::nullopt;
  }
  return line;
}

std::string TransferFailure(const SimulatedSession& session, std::string_view text) {
  std::string reason(text);
  if (const std::string problem = session.FileProblem(); !problem.empty()) reason += ": " + problem;
  return reason;
}

}  // namespace veltra::cli
