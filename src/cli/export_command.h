#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/device_session.h"

namespace veltra::cli {

inline constexpr char kExportName[] = "export";
inline constexpr char kExportSummary[] = "write a configuration as a JSON document";

// veltra-cli export (FILE.bin | --device) --eeprom TYPE [-o FILE.json] [device options]: the
// configuration of an image file or of the device's EEPROM as the versioned JSON document that
// import reads back. The output file is replaced in one step once the document is complete.
int RunExportCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunExportCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                     const DeviceHook& hook);

}  // namespace veltra::cli
