#include "cli/cli_result.h"

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

}  // namespace veltra::cli
