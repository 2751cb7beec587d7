#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/device_session.h"

namespace veltra::cli {

inline constexpr char kLoadName[] = "load";
inline constexpr char kLoadSummary[] = "write a .bin file into the device's EEPROM";

// veltra-cli load FILE.bin --eeprom TYPE [--verify] [--yes] [device options]: the file's first
// transfer-length bytes into the EEPROM from address 0; a shorter file is completed with zeros
// and a longer one cut, each with a warning on err. Asks first at a terminal unless --yes;
// without a terminal it needs --yes. --verify reads the EEPROM back and compares. Prints
// nothing on success.
int RunLoadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunLoadCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   const DeviceHook& hook);

}  // namespace veltra::cli
