#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/device_session.h"

namespace veltra::cli {

inline constexpr char kProgramCommandName[] = "program";
inline constexpr char kProgramSummary[] =
    "program units on a production line: one template, a serial each, a log";

// veltra-cli program TEMPLATE.json --eeprom TYPE [serial, log and watch options] [device
// options]: writes the template, with each unit's own serial in its Serial string, into every
// unit attached (or, with --watch, arriving), reads each back and records it.
int RunProgramCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
// hook runs on each simulated unit's machine before the unit is attached.
int RunProgramCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                      const DeviceHook& hook);

}  // namespace veltra::cli
