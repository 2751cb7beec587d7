#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "backend/device_options.h"
#include "cli/device_session.h"
#include "cli/option_parser.h"
#include "device/eeprom_types.h"

namespace veltra::cli {

// The options the commands share; each command lists the ones it takes in its own table, and
// every device command takes kDeviceCommandOptions besides.
enum CommandOptionId : int {
  kOptionHelp = 'h',
  kOptionEeprom = 256,
  kOptionJson,
  kOptionVid,
  kOptionPid,
  kOptionCapability,
  kOptionImage,
  kOptionYes,
  kOptionLatency,
  kOptionTrace,
  kOptionQuiet,
  kOptionVerify,
  kOptionDevice,
  kOptionOutput,
  kOptionPreset,
  kOptionUsedOnly,
  kOptionSimulated,
  kOptionPath,
  kOptionStrict,
  kOptionNormalize,
  kOptionVariant,
  kOptionForce,
};

using backend::DeviceOption;

inline constexpr OptionDefinition kHelpOption{"help", 'h', false, kOptionHelp};
inline constexpr OptionDefinition kEepromOption{
    backend::kDeviceOptions[static_cast<size_t>(DeviceOption::kEeprom)].name, 0, true,
    kOptionEeprom};
inline constexpr OptionDefinition kJsonOption{"json", 0, false, kOptionJson};
inline constexpr OptionDefinition kVidOption{
    backend::kDeviceOptions[static_cast<size_t>(DeviceOption::kVid)].name, 0, true, kOptionVid};
inline constexpr OptionDefinition kPidOption{
    backend::kDeviceOptions[static_cast<size_t>(DeviceOption::kPid)].name, 0, true, kOptionPid};
inline constexpr OptionDefinition kCapabilityOption{
    backend::kDeviceOptions[static_cast<size_t>(DeviceOption::kCapability)].name, 0, true,
    kOptionCapability};
inline constexpr OptionDefinition kLatencyOption{
    backend::kDeviceOptions[static_cast<size_t>(DeviceOption::kLatency)].name, 0, true,
    kOptionLatency};
inline constexpr OptionDefinition kImageOption{
    backend::kDeviceOptions[static_cast<size_t>(DeviceOption::kImage)].name, 0, true, kOptionImage};
inline constexpr OptionDefinition kSimulatedOption{
    backend::kDeviceOptions[static_cast<size_t>(DeviceOption::kSimulated)].name, 0, false,
    kOptionSimulated};
// One device by its interface path, not the last of the VID/PID that answered.
inline constexpr OptionDefinition kPathOption{"path", 0, true, kOptionPath};
inline constexpr OptionDefinition kYesOption{"yes", 0, false, kOptionYes};
inline constexpr OptionDefinition kTraceOption{"trace", 0, true, kOptionTrace};
inline constexpr OptionDefinition kQuietOption{"quiet", 'q', false, kOptionQuiet};
inline constexpr OptionDefinition kVerifyOption{"verify", 0, false, kOptionVerify};
// A write goes on where the EEPROM only may be a smaller part than the type given.
inline constexpr OptionDefinition kForceOption{"force", 0, false, kOptionForce};
// The configuration commands take the device in place of a file.
inline constexpr OptionDefinition kDeviceOption{"device", 0, false, kOptionDevice};
inline constexpr OptionDefinition kOutputOption{"output", 'o', true, kOptionOutput};
inline constexpr OptionDefinition kPresetOption{"preset", 0, true, kOptionPreset};
inline constexpr OptionDefinition kUsedOnlyOption{"used-only", 0, false, kOptionUsedOnly};
// What import does with a document the pages would change on load.
inline constexpr OptionDefinition kStrictOption{"strict", 0, false, kOptionStrict};
inline constexpr OptionDefinition kNormalizeOption{"normalize", 0, false, kOptionNormalize};
inline constexpr OptionDefinition kVariantOption{"variant", 0, true, kOptionVariant};

// What every device command takes: the device options, --trace and --quiet.
inline constexpr OptionDefinition kDeviceCommandOptions[] = {
    kEepromOption,  kVidOption,   kPidOption,  kSimulatedOption, kCapabilityOption,
    kLatencyOption, kImageOption, kPathOption, kTraceOption,     kQuietOption};

// The help lines of kDeviceCommandOptions and --help, for the commands' help texts; the
// EEPROM's line ends in eepromNote. An option the command's usage text explains on a line of its
// own is left out.
std::string DeviceCommandOptionsHelp(std::string_view eepromNote = " (required)",
                                     std::string_view usage = {});

// A command line with every value checked. Options a command's table does not list cannot
// appear; the last of a repeated option counts.
struct CommandLine {
  bool help = false;
  bool json = false;
  bool yes = false;
  bool quiet = false;
  bool verify = false;
  bool force = false;
  std::optional<device::EepromType> eeprom;  // the same as device.eeprom
  bool fromDevice = false;                   // --device
  std::optional<std::string> output;         // -o, --output
  std::optional<std::string> preset;         // --preset, as typed
  bool usedOnly = false;                     // --used-only
  bool strict = false;                       // --strict
  bool normalize = false;                    // --normalize
  std::optional<int> variant;                // --variant 0..3
  DeviceSelection device;
  std::optional<std::string> trace;  // --trace FILE
  std::vector<std::string> operands;
  // A command's own options, which no other command shares, in command-line order.
  std::vector<ParsedOption> own;
};

// nullopt with the one-line reason in error when the command line is wrong. With --help the
// values are not checked, so help is always reachable.
std::optional<CommandLine> ParseCommandLine(std::span<const std::string> args,
                                            std::span<const OptionDefinition> definitions,
                                            std::string& error);

// The usage error of a command that needs --eeprom and was not given it.
std::string MissingEepromText();

}  // namespace veltra::cli
