#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/option_parser.h"
#include "cli/simulated_session.h"
#include "device/eeprom_types.h"

namespace veltra::cli {

// The options the commands share; each command lists the ones it takes in its own table.
enum CommandOptionId : int {
  kOptionHelp = 'h',
  kOptionEeprom = 256,
  kOptionJson,
  kOptionVid,
  kOptionPid,
  kOptionCapability,
  kOptionImage,
  kOptionYes,
  kOptionSimulated,
};

inline constexpr OptionDefinition kHelpOption{"help", 'h', false, kOptionHelp};
inline constexpr OptionDefinition kEepromOption{"eeprom", 0, true, kOptionEeprom};
inline constexpr OptionDefinition kJsonOption{"json", 0, false, kOptionJson};
inline constexpr OptionDefinition kVidOption{"vid", 0, true, kOptionVid};
inline constexpr OptionDefinition kPidOption{"pid", 0, true, kOptionPid};
inline constexpr OptionDefinition kCapabilityOption{"capability", 0, true, kOptionCapability};
inline constexpr OptionDefinition kImageOption{"image", 0, true, kOptionImage};
inline constexpr OptionDefinition kYesOption{"yes", 0, false, kOptionYes};
inline constexpr OptionDefinition kSimulatedOption{"simulated", 0, false, kOptionSimulated};

// The help lines of the device options, for the commands' help texts.
extern const char kDeviceOptionsHelp[];

// A command line with every value checked. Options a command's table does not list cannot
// appear; the last of a repeated option counts.
struct CommandLine {
  bool help = false;
  bool json = false;
  bool yes = false;
  std::optional<device::EepromType> eeprom;
  DeviceSelection device;
  std::vector<std::string> operands;
};

// nullopt with the one-line reason in error when the command line is wrong. With --help the
// values are not checked, so help is always reachable.
std::optional<CommandLine> ParseCommandLine(std::span<const std::string> args,
                                            std::span<const OptionDefinition> definitions,
                                            std::string& error);

// The usage error of a command that needs --eeprom and was not given it.
std::string MissingEepromText();

}  // namespace veltra::cli
