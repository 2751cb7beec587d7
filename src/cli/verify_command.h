#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/device_session.h"

namespace veltra::cli {

inline constexpr char kVerifyName[] = "verify";
inline constexpr char kVerifySummary[] = "compare the device's EEPROM with a .bin file";

// veltra-cli verify FILE.bin --eeprom TYPE [--json] [device options]: reads the transfer length
// from address 0 and compares it with the file as load would write it (a shorter file completed
// with zeros). Prints whether they match, else the first differing address and the number of
// differing bytes; exit 1 on a difference. --quiet prints nothing, the exit code tells.
int RunVerifyCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunVerifyCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                     const DeviceHook& hook);

}  // namespace veltra::cli
