#include "cli/line_command.h"

#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>

#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "production/line_database.h"

namespace veltra::cli {
namespace {

using production::LineDatabase;
using production::LineSerials;
using production::LineStatus;

enum LineOptionId : int {
  kOptionLineDb = 700,
  kOptionLine,
  kOptionReason,
  kOptionSerialFormat,
  kOptionSerialStart,
  kOptionSerialList,
};

constexpr OptionDefinition kOptions[] = {
    kHelpOption,
    kJsonOption,
    {"line-db", 0, true, kOptionLineDb},
    {"line", 0, true, kOptionLine},
    {"reason", 0, true, kOptionReason},
    {"serial-format", 0, true, kOptionSerialFormat},
    {"serial-start", 0, true, kOptionSerialStart},
    {"serial-list", 0, true, kOptionSerialList},
};

constexpr char kUsage[] =
    "Usage: veltra-cli line create NAME --line-db CONNECTION\n"
    "                       (--serial-format FMT [--serial-start N] | --serial-list FILE)\n"
    "       veltra-cli line status NAME --line-db CONNECTION [--json]\n"
    "       veltra-cli line void SERIAL... --line-db CONNECTION --line NAME --reason TEXT\n"
    "\n"
    "Looks after the lines of a line database, where every station of a line takes\n"
    "its serials from one source, each given out once, and records each unit. A\n"
    "serial is reserved, then programmed, failed or void; abandoned when the run that\n"
    "reserved it ended without recording its unit. CONNECTION is an ODBC connection\n"
    "string or data source name, such as\n"
    "'Driver={PostgreSQL Unicode};Server=db;Port=5432;Database=line;Uid=station;'.\n"
    "\n"
    "  create   make the line (and the database's tables where missing)\n"
    "  status   the line's serials per state, the yield, the next serial, how many\n"
    "           are left\n"
    "  void     void serials, given out or not yet, so no unit gets them; all or none\n"
    "\n"
    "Options:\n"
    "  --line-db CONNECTION  the line database (required)\n"
    "  --serial-format FMT   serials from a number: one %u conversion, with a 0 flag\n"
    "                        and a width where wanted ('VH-%04u')\n"
    "  --serial-start N      the first number (default 1)\n"
    "  --serial-list FILE    one serial a line, each checked, none twice\n"
    "  --line NAME           the line of the serials to void\n"
    "  --reason TEXT         why they are void\n"
    "  --json                status as a JSON object\n"
    "  -h, --help            show this help\n";

struct LineOptions {
  std::optional<std::string> database;
  std::optional<std::string> line;
  std::optional<std::string> reason;
  std::optional<std::string> format;
  std::optional<std::string> start;
  std::optional<std::string> list;
};

// Which options each subcommand takes: one of another subcommand's is a mistake worth naming.
std::string CheckOptions(const std::string& command, const LineOptions& options) {
  const struct {
    const std::optional<std::string>& value;
    std::string_view name;
    std::string_view command;
  } owned[] = {{options.format, "--serial-format", "create"},
               {options.start, "--serial-start", "create"},
               {options.list, "--serial-list", "create"},
               {options.line, "--line", "void"},
               {options.reason, "--reason", "void"}};
  for (const auto& option : owned) {
    if (option.value && command != option.command) {
      return command + " takes no " + std::string(option.name);
    }
  }
  if (!options.database) return command + " needs --line-db CONNECTION";
  if (options.database->empty()) return "--line-db needs a connection string or data source name";
  return "";
}

std::string CreateSerials(const LineOptions& options, LineSerials& serials) {
  if (options.format.has_value() == options.list.has_value()) {
    return "create needs --serial-format FMT or --serial-list FILE";
  }
  if (options.start && !options.format) return "--serial-start goes with --serial-format";
  std::string error;
  if (options.list) {
    if (options.list->empty()) return "--serial-list needs a file name";
    const auto list = production::ReadSerialList(*options.list, error);
    if (list) serials.list = *list;
    return error;
  }
  serials.format = production::SerialFormat::Parse(*options.format, error);
  if (!serials.format) return error;
  if (options.start) {
    const std::string& text = *options.start;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), serials.start);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
      return "--serial-start needs a whole number, not '" + text + "'";
    }
  }
  return "";
}

void WriteStatus(std::ostream& out, const std::string& line, const LineStatus& status, bool json) {
  if (json) {
    nlohmann::ordered_json object;
    object["line"] = line;
    object["source"] = status.source;
    nlohmann::ordered_json states;
    for (size_t i = 0; i < std::size(production::kLineSerialStates); ++i)
      states[std::string(LineSerialStateName(production::kLineSerialStates[i]))] = status.counts[i];
    object["states"] = states;
    object["yield"] = status.yield ? nlohmann::ordered_json(*status.yield) : nullptr;
    object["next"] = status.next ? nlohmann::ordered_json(*status.next) : nullptr;
    object["left"] = status.left;
    out << object.dump(2) << '\n';
    return;
  }
  auto row = [&out](std::string_view name, const std::string& value) {
    out << name << std::string(12 - name.size(), ' ') << value << '\n';
  };
  out << "line '" << line << "': " << status.source << '\n';
  for (size_t i = 0; i < std::size(production::kLineSerialStates); ++i)
    row(LineSerialStateName(production::kLineSerialStates[i]), std::to_string(status.counts[i]));
  char yield[16] = "-";
  if (status.yield) std::snprintf(yield, sizeof yield, "%.1f %%", *status.yield * 100);
  row("yield", yield);
  row("next", status.next.value_or("none left"));
  row("left", std::to_string(status.left));
}

}  // namespace

int RunLineCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
  const std::string prefix = std::string(kLineName) + ": ";
  std::string error;
  const std::optional<CommandLine> parsed = ParseCommandLine(args, kOptions, error);
  if (!parsed) return ReportUsageError(err, prefix + error);
  if (parsed->help) {
    out << kUsage;
    return FinishOutput(out, err, prefix);
  }
  LineOptions options;
  for (const ParsedOption& option : parsed->own) {
    switch (option.id) {
      case kOptionLineDb:
        options.database = option.value;
        break;
      case kOptionLine:
        options.line = option.value;
        break;
      case kOptionReason:
        options.reason = option.value;
        break;
      case kOptionSerialFormat:
        options.format = option.value;
        break;
      case kOptionSerialStart:
        options.start = option.value;
        break;
      case kOptionSerialList:
        options.list = option.value;
        break;
      default:
        break;
    }
  }
  const std::vector<std::string>& operands = parsed->operands;
  if (operands.empty()) {
    return ReportUsageError(err,
                            prefix + "needs create, status or void (try 'veltra-cli line --help')");
  }
  const std::string& command = operands.front();
  if (command != "create" && command != "status" && command != "void") {
    return ReportUsageError(err, prefix + "'" + command + "' is not create, status or void");
  }
  if (parsed->json && command != "status") {
    return ReportUsageError(err, prefix + command + " takes no --json");
  }
  if (error = CheckOptions(command, options); !error.empty()) {
    return ReportUsageError(err, prefix + error);
  }
  const bool voiding = command == "void";
  if (voiding ? operands.size() < 2 : operands.size() != 2) {
    return ReportUsageError(
        err, prefix + command + (voiding ? " needs the serials to void" : " needs one line name"));
  }
  if (voiding && (!options.line || !options.reason || options.reason->empty())) {
    return ReportUsageError(err, prefix + "void needs --line NAME and --reason TEXT");
  }
  LineSerials serials;
  if (command == "create") {
    if (error = CreateSerials(options, serials); !error.empty()) {
      return ReportUsageError(err, prefix + error);
    }
  }

  const std::unique_ptr<LineDatabase> database = LineDatabase::Connect(*options.database, error);
  // What the database refuses or cannot do leaves it as it was: the command did nothing.
  if (!database) return ReportUsageError(err, prefix + error);
  if (command == "create") {
    error = database->CreateLine(operands[1], serials);
    if (error.empty()) {
      out << "line '" << operands[1] << "' created: "
          << (serials.format
                  ? "serials " + *options.format + " from " + std::to_string(serials.start)
                  : std::to_string(serials.list.size()) + " serials of " + *options.list)
          << '\n';
    }
  } else if (command == "status") {
    if (const auto status = database->Status(operands[1], error)) {
      WriteStatus(out, operands[1], *status, parsed->json);
    }
  } else {
    const std::span<const std::string> voided = std::span(operands).subspan(1);
    error = database->VoidSerials(*options.line, voided, *options.reason);
    if (error.empty())
      out << voided.size() << (voided.size() == 1 ? " serial" : " serials") << " void\n";
  }
  if (!error.empty()) return ReportUsageError(err, prefix + error);
  return FinishOutput(out, err, prefix);
}

}  // namespace veltra::cli
