#pragma once

#include <ostream>
#include <string_view>

namespace veltra::cli {

inline constexpr char kProgramName[] = "veltra-cli";

// Exit codes every command keeps to; scripts rely on them.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitFailure = 1,  // the command could not do its work
  kExitUsage = 2,    // the command line was wrong; nothing was done
  // The command changed the EEPROM as asked, but its --trace could not be written.
  kExitChangedTraceFailed = 3,
};

// One line on the error stream, "veltra-cli: <reason>", and the matching exit code.
int ReportUsageError(std::ostream& err, std::string_view reason);
int ReportFailure(std::ostream& err, std::string_view reason);
// "veltra-cli: <prefix>warning: <text>"; the command goes on.
void ReportWarning(std::ostream& err, std::string_view prefix, std::string_view text);

// Flushes what a command wrote to out: success, or a failure when it could not be delivered.
int FinishOutput(std::ostream& out, std::ostream& err, std::string_view prefix);

}  // namespace veltra::cli
