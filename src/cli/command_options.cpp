#include "cli/command_options.h"

#include <charconv>
#include <string_view>

namespace veltra::cli {

const char kDeviceOptionsHelp[] =
    "  --vid HEX           vendor ID of the device (default 5A52)\n"
    "  --pid HEX           product ID of the device (default 7731)\n"
#ifdef VELTRA_WIN32_BACKEND
    "  --simulated         the simulated device instead of the chip on the vendor\n"
    "                      driver; the two options below need it\n"
#else
    "  --simulated         the simulated device (the only one this build reaches)\n"
#endif
    "  --capability HEX    its chip register 0xD9 (default 34: variant 3, both EQs)\n"
    "  --image FILE.bin    back its EEPROM with this file instead of the per-user\n"
    "                      file of the device (which starts with a factory image)\n";

namespace {

// One to maxDigits hexadecimal digits, with or without "0x".
std::optional<unsigned> ParseHex(std::string_view text, size_t maxDigits) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  unsigned value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, 16);
  if (text.empty() || text.size() > maxDigits || error != std::errc() || stop != end) {
    return std::nullopt;
  }
  return value;
}

std::string EepromTypeNames() {
  std::string names;
  for (const device::EepromType& type : device::kEepromTypes) {
    if (!names.empty()) names += ", ";
    names += type.name;
  }
  return names;
}

}  // namespace

std::string MissingEepromText() {
  return "needs --eeprom TYPE, one of " + EepromTypeNames();
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
  std::optional<std::string> eeprom, vid, pid, capability, image;
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
      case kOptionSimulated:
        line.device.simulated = true;
        break;
      case kOptionEeprom:
        eeprom = option.value;
        break;
      case kOptionVid:
        vid = option.value;
        break;
      case kOptionPid:
        pid = option.value;
        break;
      case kOptionCapability:
        capability = option.value;
        break;
      case kOptionImage:
        image = option.value;
        break;
    }
  }
  if (line.help) return line;

  if (eeprom) {
    line.eeprom = device::FindEepromType(*eeprom);
    if (!line.eeprom) {
      error = "unknown EEPROM type '" + *eeprom + "' (one of " + EepromTypeNames() + ")";
      return std::nullopt;
    }
  }
  struct HexOption {
    const std::optional<std::string>& text;
    const char* name;
    size_t digits;
  };
  for (const HexOption& hex : {HexOption{vid, "--vid", 4}, HexOption{pid, "--pid", 4},
                               HexOption{capability, "--capability", 2}}) {
    if (hex.text && !ParseHex(*hex.text, hex.digits)) {
      error = std::string(hex.name) + " needs 1 to " + std::to_string(hex.digits) +
              " hexadecimal digits, not '" + *hex.text + "'";
      return std::nullopt;
    }
  }
  // The simulated device's own options would do nothing to a chip: refused rather than let a
  // command meant for the simulator reach real hardware, or the other way round.
  if (!line.device.simulated) {
    for (const auto& [given, name] : {std::pair{capability.has_value(), "--capability"},
                                      std::pair{image.has_value(), "--image"}}) {
      if (given) {
        error = std::string(name) + " needs --simulated";
        return std::nullopt;
      }
    }
  }
  if (vid) line.device.vid = static_cast<uint16_t>(*ParseHex(*vid, 4));
  if (pid) line.device.pid = static_cast<uint16_t>(*ParseHex(*pid, 4));
  if (capability) line.device.capability = static_cast<uint8_t>(*ParseHex(*capability, 2));
  if (image) {
    if (image->empty()) {
      error = "--image needs a file name";
      return std::nullopt;
    }
    line.device.imageFile = *image;
  }
  return line;
}

}  // namespace veltra::cli
