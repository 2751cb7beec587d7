#include "cli/command_options.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace veltra::cli {

std::string DeviceCommandOptionsHelp(std::string_view eepromNote, std::string_view usage) {
  constexpr size_t kColumn = 22;
  std::string lines = backend::DeviceOptionsHelp(kColumn, eepromNote);
  auto line = [&lines, kColumn](std::string head, std::string_view help) {
    head.resize(std::max(kColumn, head.size() + 1), ' ');
    lines += head;
    lines += help;
    lines += '\n';
  };
  line("  --path PATH", "the device of this interface path (as 'list' shows it)");
  line("  --trace FILE", "write every vendor request into FILE, one line each");
  line("  -q, --quiet", "no progress and no warnings on standard error");
  line("  -h, --help", "show this help");
  // An option the command's own text explains is listed there only.
  std::string text;
  for (size_t at = 0; at < lines.size();) {
    const size_t end = lines.find('\n', at) + 1;
    const std::string_view option(lines.data() + at, end - at);
    const std::string_view head = option.substr(0, option.find(' ', 4));
    if (usage.find("\n" + std::string(head) + " ") == std::string_view::npos) text += option;
    at = end;
  }
  return text;
}

std::string MissingEepromText() {
  return "needs --eeprom TYPE, one of " + backend::EepromTypeNames();
}

std::optional<CommandLine> ParseCommandLine(std::span<const std::string> args,
                                            std::span<const OptionDefinition> definitions,
                                            std::string& error) {
  const ParsedArguments parsed = ParseOptions(args, definitions, false);
  if (!parsed.error.empty()) {
    error = parsed.error;
    return std::nullopt;
  }
  CommandLine line;
  line.operands = parsed.operands;
  // The device options are checked after --help is known, in command-line order.
  std::vector<std::pair<DeviceOption, std::string>> deviceValues;
  for (const ParsedOption& option : parsed.options) {
    switch (option.id) {
      case kOptionHelp:
        line.help = true;
        break;
      case kOptionJson:
        line.json = true;
        break;
      case kOptionYes:
        line.yes = true;
        break;
      case kOptionQuiet:
        line.quiet = true;
        break;
      case kOptionVerify:
        line.verify = true;
        break;
      case kOptionForce:
        line.force = true;
        break;
      case kOptionTrace:
        line.trace = option.value;
        break;
      case kOptionDevice:
        line.fromDevice = true;
        break;
      case kOptionOutput:
        line.output = option.value;
        break;
      case kOptionPreset:
        line.preset = option.value;
        break;
      case kOptionUsedOnly:
        line.usedOnly = true;
        break;
      case kOptionStrict:
        line.strict = true;
        break;
      case kOptionNormalize:
        line.normalize = true;
        break;
      case kOptionVariant:
        if (option.value.size() != 1 || option.value[0] < '0' || option.value[0] > '3') {
          error = "--variant takes a chip variant code 0..3, not '" + option.value + "'";
          return std::nullopt;
        }
        line.variant = option.value[0] - '0';
        break;
      case kOptionEeprom:
        deviceValues.emplace_back(DeviceOption::kEeprom, option.value);
        break;
      case kOptionVid:
        deviceValues.emplace_back(DeviceOption::kVid, option.value);
        break;
      case kOptionPid:
        deviceValues.emplace_back(DeviceOption::kPid, option.value);
        break;
      case kOptionCapability:
        deviceValues.emplace_back(DeviceOption::kCapability, option.value);
        break;
      case kOptionLatency:
        deviceValues.emplace_back(DeviceOption::kLatency, option.value);
        break;
      case kOptionImage:
        deviceValues.emplace_back(DeviceOption::kImage, option.value);
        break;
      case kOptionPath:
        line.device.path = option.value;
        break;
      case kOptionSimulated:
        deviceValues.emplace_back(DeviceOption::kSimulated, option.value);
        break;
      default:
        line.own.push_back(option);
        break;
    }
  }
  if (line.help) return line;

  std::vector<DeviceOption> given;
  for (const auto& [id, value] : deviceValues) {
    error = backend::SetDeviceOption(id, value, line.device);
    if (!error.empty()) return std::nullopt;
    given.push_back(id);
  }
  error = backend::CheckGivenDeviceOptions(given);
  if (!error.empty()) return std::nullopt;
  line.eeprom = line.device.eeprom;
  // One rule for every file a command names: an empty name is a usage error, never "the
  // standard stream" nor a path the system is asked about.
  if (line.trace && line.trace->empty()) {
    error = "--trace needs a file name";
    return std::nullopt;
  }
  if (line.output && line.output->empty()) {
    error = "--output needs a file name";
    return std::nullopt;
  }
  if (std::find(line.operands.begin(), line.operands.end(), "") != line.operands.end()) {
    error = "an empty argument ('') names nothing";
    return std::nullopt;
  }
  return line;
}

}  // namespace veltra::cli
