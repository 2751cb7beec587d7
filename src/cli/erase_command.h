#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/simulated_session.h"

namespace veltra::cli {

inline constexpr char kEraseName[] = "erase";
inline constexpr char kEraseSummary[] = "erase the device's EEPROM (needs --yes)";

// veltra-cli erase --yes --eeprom TYPE [device options]: zeros over the transfer length. Asks
// nothing: without --yes it refuses as wrong usage. Prints nothing on success.
int RunEraseCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunEraseCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                    const DeviceHook& hook);

}  // namespace veltra::cli
