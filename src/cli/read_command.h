#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/device_session.h"

namespace veltra::cli {

inline constexpr char kReadName[] = "read";
inline constexpr char kReadSummary[] = "read the device's configuration and print it";

// veltra-cli read --eeprom TYPE [--json] [device options]: connects, reads the image through
// the image model as the GUI's Connect does, and prints it as 'show' does, with the chip's
// variant and capability flags first.
int RunReadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunReadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   const DeviceHook& hook);

}  // namespace veltra::cli
