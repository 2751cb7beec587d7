#include "cli/device_command.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_result.h"
#include "cli/console.h"
#include "image/operation_texts.h"

namespace veltra::cli {

std::optional<CommandLine> ParseDeviceOptions(std::span<const std::string> args,
                                              std::span<const OptionDefinition> options,
                                              std::string_view usage, std::string_view prefix,
                                              std::ostream& out, std::ostream& err, int& code) {
  std::vector<OptionDefinition> definitions(options.begin(), options.end());
  for (const OptionDefinition& shared : kDeviceCommandOptions) {
    const bool listed = std::any_of(definitions.begin(), definitions.end(),
                                    [&](const OptionDefinition& d) { return d.id == shared.id; });
    if (!listed) definitions.push_back(shared);
  }
  std::string error;
  std::optional<CommandLine> line = ParseCommandLine(args, definitions, error);
  if (!line) {
    code = ReportUsageError(err, std::string(prefix) + error);
    return std::nullopt;
  }
  if (line->help) {
    out << usage << DeviceCommandOptionsHelp(" (required)", usage);
    code = FinishOutput(out, err, prefix);
    return std::nullopt;
  }
  return line;
}

std::optional<CommandLine> ParseDeviceCommandLine(std::span<const std::string> args,
                                                  std::span<const OptionDefinition> options,
                                                  std::string_view usage, FileOperand file,
                                                  bool destructive, std::string_view prefix,
                                                  std::ostream& out, std::ostream& err, int& code) {
  std::optional<CommandLine> line =
      ParseDeviceOptions(args, options, usage, prefix, out, err, code);
  if (!line) return std::nullopt;
  std::string misuse;
  const std::string role = file == FileOperand::kInput ? "input" : "output";
  if (file == FileOperand::kNone && !line->operands.empty()) {
    misuse = "takes no file ('" + line->operands.front() + "')";
  } else if (file != FileOperand::kNone && line->operands.size() != 1) {
    misuse = line->operands.empty() ? "needs the " + role + " file FILE.bin"
                                    : "takes one " + role + " file";
  } else if (!line->eeprom) {
    misuse = MissingEepromText();
  }
  if (!misuse.empty()) {
    code = ReportUsageError(err, std::string(prefix) + misuse);
    return std::nullopt;
  }
  if (destructive && !Confirm(*line, "change the EEPROM?", prefix, err, code)) return std::nullopt;
  return line;
}

bool Confirm(const CommandLine& line, std::string_view question, std::string_view prefix,
             std::ostream& err, int& code) {
  if (line.yes) return true;
  const Console& console = CurrentConsole();
  if (!console.inputIsTerminal || console.in == nullptr) {
    code = ReportUsageError(
        err, std::string(prefix) + "needs --yes: standard input is not a terminal to ask on");
    return false;
  }
  err << kProgramName << ": " << prefix << question << " [y/N] ";
  err.flush();
  std::string answer;
  if (!std::getline(*console.in, answer)) {
    answer.clear();
    err << '\n';
  }
  std::transform(answer.begin(), answer.end(), answer.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (answer == "y" || answer == "yes") return true;
  code = ReportFailure(err, std::string(prefix) + "not confirmed; the EEPROM is unchanged");
  return false;
}

std::unique_ptr<DeviceSession> ConnectToDevice(const CommandLine& line,
                                               DeviceSession::ImageFile imageFile,
                                               const DeviceHook& hook, std::string_view prefix,
                                               std::ostream& err, int& code) {
  std::string error;
  std::unique_ptr<DeviceSession> session =
      DeviceSession::Open(line.device, *line.eeprom, imageFile, hook, error, line.trace);
  if (!session) {
    code = ReportFailure(err, std::string(prefix) + error);
    return nullptr;
  }
  const bool showProgress = CurrentConsole().errorIsTerminal && !line.json && !line.quiet;
  session->SetReporting(err, std::string(prefix), showProgress);
  if (!session->Connect()) {
    code =
        session->Finish(ReportFailure(err, std::string(prefix) + image::text::kCannotFindDevice));
    return nullptr;
  }
  return session;
}

int VerifyWrite(DeviceSession& session, std::span<const uint8_t> expected, std::string_view what,
                std::string_view prefix, std::ostream& err) {
  const std::string failed = std::string(prefix) + "verify failed: ";
  const auto back = session.ReadEeprom(static_cast<uint32_t>(expected.size()), "verifying EEPROM");
  if (!back) return ReportFailure(err, failed + TransferFailure(session, image::text::kReadFailed));
  const ByteComparison comparison = CompareBytes(*back, expected);
  if (!comparison.Identical()) return ReportFailure(err, failed + DifferenceText(comparison, what));
  return kExitSuccess;
}

std::string TransferFailure(const DeviceSession& session, std::string_view text) {
  std::string reason(text);
  // The EEPROM's file is what the user can act on; without that, what the bus said.
  if (const std::string problem = session.FileProblem(); !problem.empty()) {
    reason += ": " + problem;
  } else if (const std::string fault = session.TransferFault(); !fault.empty()) {
    reason += ": " + fault;
  }
  return reason;
}

std::string DifferenceText(const ByteComparison& comparison, std::string_view what) {
  char text[128];
  std::snprintf(text, sizeof text, "%u %s differ, the first at 0x%04X (EEPROM 0x%02X, %.*s 0x%02X)",
                comparison.differing, comparison.differing == 1 ? "byte" : "bytes",
                comparison.first, comparison.actual, static_cast<int>(what.size()), what.data(),
                comparison.expected);
  return text;
}

void Warn(const CommandLine& line, std::ostream& err, std::string_view prefix,
          std::string_view text) {
  if (!line.quiet) ReportWarning(err, prefix, text);
}

}  // namespace veltra::cli
