#include "cli/dispatch.h"

#include <string_view>

#include "backend/device_options.h"
#include "cli/cli_result.h"
#include "cli/diff_command.h"
#include "cli/dump_command.h"
#include "cli/eq_coeffs_command.h"
#include "cli/eq_response_command.h"
#include "cli/eq_upload_command.h"
#include "cli/erase_command.h"
#include "cli/export_command.h"
#include "cli/import_command.h"
#include "cli/line_command.h"
#include "cli/list_command.h"
#include "cli/load_command.h"
#include "cli/option_parser.h"
#include "cli/program_command.h"
#include "cli/read_command.h"
#include "cli/regs_command.h"
#include "cli/show_command.h"
#include "cli/verify_command.h"

namespace veltra::cli {
namespace {

using CommandFunction = int (*)(std::span<const std::string>, std::ostream&, std::ostream&);

struct Command {
  std::string_view name;
  std::string_view summary;
  CommandFunction run;
};

// New commands join here and in their own file.
constexpr Command kCommands[] = {
    {kShowName, kShowSummary, RunShowCommand},
    {kReadName, kReadSummary, RunReadCommand},
    {kDumpName, kDumpSummary, RunDumpCommand},
    {kLoadName, kLoadSummary, RunLoadCommand},
    {kEraseName, kEraseSummary, RunEraseCommand},
    {kVerifyName, kVerifySummary, RunVerifyCommand},
    {kRegsName, kRegsSummary, RunRegsCommand},
    {kEqCoeffsName, kEqCoeffsSummary, RunEqCoeffsCommand},
    {kEqResponseName, kEqResponseSummary, RunEqResponseCommand},
    {kExportName, kExportSummary, RunExportCommand},
    {kImportName, kImportSummary, RunImportCommand},
    {kDiffName, kDiffSummary, RunDiffCommand},
    {kEqUploadName, kEqUploadSummary, RunEqUploadCommand},
    {kListName, kListSummary, RunListCommand},
    {kProgramCommandName, kProgramSummary, RunProgramCommand},
    {kLineName, kLineSummary, RunLineCommand},
};

enum OptionId : int { kHelp = 'h', kVersion = 256 };

constexpr OptionDefinition kOptions[] = {
    {"help", 'h', false, kHelp},
    {"version", 0, false, kVersion},
};

void WriteHelp(std::ostream& out) {
  out << "Usage: veltra-cli [--help] [--version] COMMAND [ARGS...]\n"
         "\n"
         "Configuration tool for the Veltra family of USB audio codec chips.\n"
         "\n"
         "Commands:\n";
  for (const Command& command : kCommands) {
    out << "  " << command.name << std::string(14 - command.name.size(), ' ') << command.summary
        << '\n';
  }
  out << "\n"
         "The device commands (read, dump, load, erase, verify, regs, eq-upload and the\n"
      << (backend::kHasHardwareBackend
              ? "--device of export, import and diff) work on the chip with the given VID/PID\n"
                "through the vendor driver ZR_VENDER_CMD (ZRVC.sys or ZRVC64.sys beside this\n"
                "program). With --simulated they work on the simulated device instead:\n"
              : "--device of export, import and diff) work on the simulated device the GUI uses:\n")
      << "VID 5A52, PID 7731, chip register 0xD9 = 0x34, its EEPROM kept in the per-user\n"
         "data directory (or in --image FILE.bin). They take --trace FILE (every vendor\n"
         "request, one line each) and --quiet; progress of long transfers shows on\n"
         "standard error when it is a terminal. Commands that change the EEPROM ask first\n"
         "at a terminal, and need --yes when standard input is not one.\n"
         "\n"
         "Run 'veltra-cli COMMAND --help' for the options of a command.\n"
         "Exit codes: 0 success, 1 failure (or a difference found), 2 wrong usage.\n";
}

int Finish(std::ostream& out, std::ostream& err) {
  out.flush();
  return out ? kExitSuccess : ReportFailure(err, "cannot write to standard output");
}

}  // namespace

int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  const ParsedArguments parsed = ParseOptions(args, kOptions, true);
  if (!parsed.error.empty()) return ReportUsageError(err, parsed.error);
  for (const ParsedOption& option : parsed.options) {
    if (option.id == kHelp) {
      WriteHelp(out);
      return Finish(out, err);
    }
    if (option.id == kVersion) {
      out << kProgramName << ' ' << VELTRA_VERSION << '\n';
      return Finish(out, err);
    }
  }
  if (parsed.operands.empty()) {
    return ReportUsageError(err, "no command given (try 'veltra-cli --help')");
  }
  const std::string& word = parsed.operands.front();
  for (const Command& command : kCommands) {
    if (command.name == word) {
      return command.run(std::span(parsed.operands).subspan(1), out, err);
    }
  }
  return ReportUsageError(err, "unknown command '" + word + "' (try 'veltra-cli --help')");
}

}  // namespace veltra::cli
