#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/device_session.h"

namespace veltra::cli {

inline constexpr char kImportName[] = "import";
inline constexpr char kImportSummary[] = "pack a JSON configuration into an image or the device";

// veltra-cli import FILE.json (-o FILE.bin | --device) [--eeprom TYPE] [device options]: the
// document's configuration, checked with the pages' rules and packed with the tool's packer,
// into an image file (replaced in one step) or the device's EEPROM. A refused document leaves
// everything as it was: one line naming the field, exit 2.
int RunImportCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunImportCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                     const DeviceHook& hook);

}  // namespace veltra::cli
