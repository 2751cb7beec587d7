// The input is a veltra-cli command line: two bytes and two bits of a third choose which of the
// options the command takes, a third bit how operands end the options, and the rest are the
// arguments, separated by zero bytes (as argv carries them). The option parser must give the same
// answer however often it runs (getopt keeps state between calls), keep to the options it was
// given, and say what it refuses in one line; the device option rules must take only values in
// range and leave the options as they were when they refuse one.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "backend/device_options.h"
#include "cli/cli_result.h"
#include "cli/command_options.h"
#include "cli/option_parser.h"
#include "device/eeprom_types.h"

namespace {

using namespace veltra;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// Every option a command of veltra-cli can take, and veltra-cli's own --version.
constexpr cli::OptionDefinition kVersionOption{"version", 0, false, 300};
constexpr cli::OptionDefinition kAllOptions[] = {
    cli::kHelpOption,   cli::kEepromOption,     cli::kJsonOption,    cli::kVidOption,
    cli::kPidOption,    cli::kCapabilityOption, cli::kLatencyOption, cli::kImageOption,
    cli::kYesOption,    cli::kTraceOption,      cli::kQuietOption,   cli::kVerifyOption,
    cli::kDeviceOption, cli::kOutputOption,     cli::kPresetOption,  cli::kUsedOnlyOption,
    kVersionOption,     cli::kSimulatedOption};

bool Same(const cli::ParsedArguments& a, const cli::ParsedArguments& b) {
  const bool sameOptions =
      std::equal(a.options.begin(), a.options.end(), b.options.begin(), b.options.end(),
                 [](const auto& x, const auto& y) { return x.id == y.id && x.value == y.value; });
  return sameOptions && a.operands == b.operands && a.error == b.error;
}

// What the user sees of a refused command line: one line on the error stream.
void RequireOneLineReport(const std::string& reason) {
  Require(!reason.empty());
  std::ostringstream err;
  Require(cli::ReportUsageError(err, reason) == cli::kExitUsage);
  const std::string shown = err.str();
  Require(shown.find('\n') == shown.size() - 1);
  Require(shown.find('\r') == std::string::npos);
}

void CheckParse(const std::vector<std::string>& args,
                const std::vector<cli::OptionDefinition>& definitions, bool stopAtFirstOperand) {
  const cli::ParsedArguments parsed = cli::ParseOptions(args, definitions, stopAtFirstOperand);
  // Another command line between two runs must change nothing.
  const std::vector<std::string> other{"-q", "--eeprom", "S24C02", "x", "--json"};
  cli::ParseOptions(other, kAllOptions, !stopAtFirstOperand);
  Require(Same(cli::ParseOptions(args, definitions, stopAtFirstOperand), parsed));

  if (!parsed.error.empty()) {
    RequireOneLineReport(parsed.error);
    return;
  }
  for (const cli::ParsedOption& option : parsed.options) {
    bool known = false;
    for (const cli::OptionDefinition& definition : definitions) {
      if (definition.id != option.id) continue;
      known = true;
      if (!definition.takesValue) Require(option.value.empty());
    }
    Require(known);
  }
  for (const std::string& operand : parsed.operands) {
    bool typed = false;
    for (const std::string& arg : args)
      typed = typed || arg == operand;
    Require(typed);
  }
}

void CheckCommandLine(const std::vector<std::string>& args,
                      const std::vector<cli::OptionDefinition>& definitions) {
  std::string error;
  const std::optional<cli::CommandLine> line = cli::ParseCommandLine(args, definitions, error);
  if (!line) {
    RequireOneLineReport(error);
    return;
  }
  Require(line->eeprom.has_value() == line->device.eeprom.has_value());
  if (line->eeprom) Require(line->eeprom->name == line->device.eeprom->name);
  if (line->trace && !line->help) Require(!line->trace->empty());
  Require(line->device.latencyNs >= 0 &&
          line->device.latencyNs <= static_cast<int64_t>(backend::kMaxLatencyMs * 1e6));
}

// The value the rule stored, written the way a user would type it again.
std::string Retyped(backend::DeviceOption id, const backend::DeviceOptions& options) {
  char text[32];
  switch (id) {
    case backend::DeviceOption::kVid:
      std::snprintf(text, sizeof text, "%X", options.vid);
      return text;
    case backend::DeviceOption::kPid:
      std::snprintf(text, sizeof text, "0x%04x", options.pid);
      return text;
    case backend::DeviceOption::kCapability:
      std::snprintf(text, sizeof text, " %02X ", options.capability);
      return text;
    case backend::DeviceOption::kEeprom:
      return std::string(options.eeprom->name);
    case backend::DeviceOption::kSimulated:
    case backend::DeviceOption::kLatency:
    case backend::DeviceOption::kImage:
      break;
  }
  return {};
}

bool SameOptions(const backend::DeviceOptions& a, const backend::DeviceOptions& b) {
  const bool sameEeprom = a.eeprom.has_value() == b.eeprom.has_value() &&
                          (!a.eeprom || a.eeprom->name == b.eeprom->name);
  return a.vid == b.vid && a.pid == b.pid && sameEeprom && a.simulated == b.simulated &&
         a.capability == b.capability && a.latencyNs == b.latencyNs && a.imageFile == b.imageFile;
}

void CheckDeviceOption(backend::DeviceOption id, const std::string& value) {
  backend::DeviceOptions options;
  options.eeprom = device::kEepromTypes.front();
  const backend::DeviceOptions before = options;
  const std::string refusal = backend::SetDeviceOption(id, value, options);
  if (!refusal.empty()) {
    Require(refusal.rfind(std::string("--") + backend::Definition(id).name, 0) == 0);
    Require(SameOptions(options, before));
    return;
  }
  Require(options.latencyNs >= 0 &&
          options.latencyNs <= static_cast<int64_t>(backend::kMaxLatencyMs * 1e6));
  if (id == backend::DeviceOption::kImage) Require(options.imageFile == value);
  const std::string again = Retyped(id, options);
  if (again.empty()) return;
  backend::DeviceOptions retyped = before;
  Require(backend::SetDeviceOption(id, again, retyped).empty());
  Require(SameOptions(retyped, options));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  static_assert(std::size(kAllOptions) <= 18, "two bytes and two bits choose the options");
  const unsigned chosen = data[0] | data[1] << 8 | (data[2] & 3) << 16;
  const bool stopAtFirstOperand = (data[2] & 4) != 0;
  std::vector<cli::OptionDefinition> definitions;
  for (size_t i = 0; i < std::size(kAllOptions); ++i) {
    if ((chosen >> i & 1) != 0) definitions.push_back(kAllOptions[i]);
  }
  std::vector<std::string> args;
  std::string arg;
  for (size_t i = 3; i < size; ++i) {
    if (data[i] == 0) {
      args.push_back(arg);
      arg.clear();
    } else {
      arg += static_cast<char>(data[i]);
    }
  }
  if (size > 3) args.push_back(arg);

  CheckParse(args, definitions, stopAtFirstOperand);
  CheckCommandLine(args, definitions);
  // Each argument as the value of one device option, the option going round with the index.
  for (size_t i = 0; i < args.size(); ++i)
    CheckDeviceOption(backend::kDeviceOptions[i % backend::kDeviceOptions.size()].id, args[i]);
  return 0;
}
