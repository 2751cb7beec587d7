#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/device_session.h"

namespace veltra::cli {

inline constexpr char kDumpName[] = "dump";
inline constexpr char kDumpSummary[] = "copy the device's EEPROM into a .bin file";

// veltra-cli dump FILE.bin --eeprom TYPE [device options]: the EEPROM's first transfer-length
// bytes into the file, which is opened before the transfer and left alone (or not created)
// when the transfer fails. Prints nothing on success.
int RunDumpCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunDumpCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   const DeviceHook& hook);

}  // namespace veltra::cli
