#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/command_options.h"
#include "cli/device_session.h"

namespace veltra::cli {

// The file a device command takes besides its options.
enum class FileOperand { kNone, kInput, kOutput };

// The command line of a device command: the command's own options and kDeviceCommandOptions.
// --help prints usage and the help of the shared options, --eeprom's line ending in eepromNote.
// nullopt when the command is done: code then holds the exit code and any reason is on err.
std::optional<CommandLine> ParseDeviceOptions(std::span<const std::string> args,
                                              std::span<const OptionDefinition> options,
                                              std::string_view usage, std::string_view prefix,
                                              std::ostream& out, std::ostream& err, int& code,
                                              std::string_view eepromNote = " (required)");

// ParseDeviceOptions, then the file operand and --eeprom are checked. A destructive command
// (destructive) asks for confirmation as Confirm does.
std::optional<CommandLine> ParseDeviceCommandLine(std::span<const std::string> args,
                                                  std::span<const OptionDefinition> options,
                                                  std::string_view usage, FileOperand file,
                                                  bool destructive, std::string_view prefix,
                                                  std::ostream& out, std::ostream& err, int& code);

// Whether a destructive command may go on: with --yes it may; at a terminal the question
// (ending in "?") is asked on err and only "y" or "yes" goes on; without a terminal on
// standard input nothing is asked and the command needs --yes. false with code and the reason
// on err otherwise.
bool Confirm(const CommandLine& line, std::string_view question, std::string_view prefix,
             std::ostream& err, int& code);

// Opens the command line's device and connects to it, as the GUI's Connect does.
// Null when that fails; the reason is then on err and code holds the exit code. The session
// shows progress on a terminal unless --json or --quiet.
std::unique_ptr<DeviceSession> ConnectToDevice(const CommandLine& line,
                                               DeviceSession::ImageFile imageFile,
                                               const DeviceHook& hook, std::string_view prefix,
                                               std::ostream& err, int& code);

// The reason for a failed transfer: the tool's text and why the EEPROM's file could not be used
// when that was the cause ("Fail to read EEPROM: cannot use EEPROM image ..."), else what the
// transport found ("Fail to write EEPROM: chunk 0x1230: not acknowledged after 6 attempts in
// 25 ms").
std::string TransferFailure(DeviceSession& session, std::string_view text);

// --verify after a write: reads the EEPROM back and compares it with what it must now hold,
// which what names ("file", "erased"). kExitSuccess, or the failure reported on err as
// "verify failed: ...".
int VerifyWrite(DeviceSession& session, std::span<const uint8_t> expected, std::string_view what,
                std::string_view prefix, std::ostream& err);

// Before a write of the EEPROM: false when it is a part smaller than the type given (a write
// would roll over onto its start), may be one and --force is not given, or cannot be read, with
// the one-line reason on err and code set; failedText is the command's text for a failed
// transfer.
bool PartFitsType(DeviceSession& session, const CommandLine& line, std::string_view failedText,
                  std::string_view prefix, std::ostream& err, int& code);

// A warning on err unless --quiet.
void Warn(const CommandLine& line, std::ostream& err, std::string_view prefix,
          std::string_view text);

}  // namespace veltra::cli
