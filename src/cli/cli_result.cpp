#include "cli/cli_result.h"

#include <cstdio>
#include <string>

namespace veltra::cli {
namespace {

// A reason may quote what the user typed (a value, a file name), and that may hold line breaks
// or terminal control characters: they are shown escaped, so the reason stays one line.
std::string OneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      line += escaped;
    } else {
      line += c;
    }
  }
  return line;
}

int Report(std::ostream& err, std::string_view reason, int code) {
  err << kProgramName << ": " << OneLine(reason) << '\n';
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
  err << kProgramName << ": " << OneLine(prefix) << "warning: " << OneLine(text) << '\n';
  err.flush();
}

int FinishOutput(std::ostream& out, std::ostream& err, std::string_view prefix) {
  out.flush();
  if (out) return kExitSuccess;
  return ReportFailure(err, std::string(prefix) + "cannot write to standard output");
}

}  // namespace veltra::cli
