#include "cli/device_command.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "backend/transfer_failure.h"
#include "cli/cli_result.h"
#include "cli/console.h"
#include "device/write_check.h"
#include "image/operation_texts.h"
#include "image/part_probe.h"

namespace veltra::cli {

std::optional<CommandLine> ParseDeviceOptions(std::span<const std::string> args,
                                              std::span<const OptionDefinition> options,
                                              std::string_view usage, std::string_view prefix,
                                              std::ostream& out, std::ostream& err, int& code,
                                              std::string_view eepromNote) {
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
    out << usage << DeviceCommandOptionsHelp(eepromNote, usage);
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
  device::WriteCheck check;
  {
    const auto progress = session.Progress("verifying EEPROM");
    check = device::ReadBack(session.Transport(), 0, expected);
  }
  if (check.readFailed)
    return ReportFailure(err, failed + TransferFailure(session, image::text::kReadFailed));
  if (!check.comparison.Identical())
    return ReportFailure(err, failed + device::DifferenceText(check.comparison, what));
  return kExitSuccess;
}

std::string TransferFailure(DeviceSession& session, std::string_view text) {
  return backend::TransferFailureText(session.Backend(), text);
}

bool PartFitsType(DeviceSession& session, const CommandLine& line, std::string_view failedText,
                  std::string_view prefix, std::ostream& err, int& code) {
  image::PartProbe probe;
  {
    const auto progress = session.Progress("checking EEPROM type");
    probe = image::ProbeEepromPart(session.Transport());
  }
  const uint32_t chosenSize = session.Transport().EepromSize();
  switch (probe.outcome) {
    case image::PartProbe::Outcome::kNoSmallerPart:
      return true;
    case image::PartProbe::Outcome::kReadFailed:
      code = ReportFailure(err, std::string(prefix) + TransferFailure(session, failedText));
      return false;
    case image::PartProbe::Outcome::kRepeats: {
      const std::string reason = image::RepeatingPartText(chosenSize, probe.partSize);
      if (line.force) {
        Warn(line, err, prefix, reason);
        return true;
      }
      code = ReportFailure(err, std::string(prefix) + reason + " Nothing was written; --force " +
                                    "writes it as " + image::PartName(chosenSize) + ".");
      return false;
    }
    case image::PartProbe::Outcome::kSmallerPart:
      break;
  }
  code =
      ReportFailure(err, std::string(prefix) + image::SmallerPartText(chosenSize, probe.partSize));
  return false;
}

void Warn(const CommandLine& line, std::ostream& err, std::string_view prefix,
          std::string_view text) {
  if (!line.quiet) ReportWarning(err, prefix, text);
}

}  // namespace veltra::cli
