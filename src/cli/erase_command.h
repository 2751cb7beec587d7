#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/device_session.h"

namespace veltra::cli {

inline constexpr char kEraseName[] = "erase";
inline constexpr char kEraseSummary[] = "erase the device's EEPROM";

// veltra-cli erase --eeprom TYPE [--verify] [--yes] [device options]: zeros over the transfer
// length. Asks first at a terminal unless --yes; without a terminal it needs --yes. --verify
// reads the EEPROM back. Prints nothing on success.
int RunEraseCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunEraseCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                    const DeviceHook& hook);

}  // namespace veltra::cli
