#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/command_options.h"
#include "cli/simulated_session.h"

namespace veltra::cli {

// The file a device command takes besides its options.
enum class FileOperand { kNone, kInput, kOutput };

// The command line of a device command: --help prints usage and the device options; the file
// operand and --eeprom (and --yes where asked for) are checked. nullopt when the command is
// done: code then holds the exit code and any reason is on err.
std::optional<CommandLine> ParseDeviceCommandLine(std::span<const std::string> args,
                                                  std::span<const OptionDefinition> options,
                                                  std::string_view usage, FileOperand file,
                                                  bool requireYes, std::string_view prefix,
                                                  std::ostream& out, std::ostream& err, int& code);

// Opens the command line's simulated device and connects to it, as the GUI's Connect does.
// Null when that fails; the reason is then on err and code holds the exit code.
std::unique_ptr<SimulatedSession> ConnectSimulatedDevice(const CommandLine& line,
                                                         SimulatedSession::ImageFile imageFile,
                                                         const DeviceHook& hook,
                                                         std::string_view prefix, std::ostream& err,
                                                         int& code);

// The reason for a failed transfer: the tool's text, and why the EEPROM's file could not be
// used when that was the cause ("Fail to read EEPROM: cannot use EEPROM image ...").
std::string TransferFailure(const SimulatedSession& session, std::string_view text);

}  // namespace veltra::cli
