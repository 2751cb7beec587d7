#include "cli/cli_result.h"

#include <string>

namespace veltra::cli {
namespace {

int Report(std::ostream& err, std::string_view reason, int code) {
  err << kProgramName << ": " << reason << '\n';
  err.flush();
  return code;
}

}  // namespace

int ReportUsageError(std::ostream& err, std::string_view reason) {
  return Report(err, reason, kExitUsage);
}

int ReportFailure(std::ostream& err, std::string_view reason) {
  return Report(err, reason, kExitFailure);
}

void ReportWarning(std::ostream& err, std::string_view prefix, std::string_view text) {
  err << kProgramName << ": " << prefix << "warning: " << text << '\n';
  err.flush();
}

int FinishOutput(std::ostream& out, std::ostream& err, std::string_view prefix) {
  out.flush();
  if (out) return kExitSuccess;
  return ReportFailure(err, std::string(prefix) + "cannot write to standard output");
}

}  // namespace veltra::cli
