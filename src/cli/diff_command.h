#pragma once

#include <ostream>
#include <span>
#include <string>

#include "cli/device_session.h"

namespace veltra::cli {

inline constexpr char kDiffName[] = "diff";
inline constexpr char kDiffSummary[] = "compare two configurations field by field";

// veltra-cli diff A B [--eeprom TYPE] [--json] or diff --device B --eeprom TYPE [device options]:
// the decoded differences of two configurations (image files, JSON documents or the device's
// EEPROM), one per line. Exit 0 when they are the same, 1 when they differ, 2 when they could
// not be compared.
int RunDiffCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);
int RunDiffCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   const DeviceHook& hook);

}  // namespace veltra::cli
