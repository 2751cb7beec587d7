#pragma once

#include <ostream>
#include <span>
#include <string>

namespace veltra::cli {

inline constexpr char kListName[] = "list";
inline constexpr char kListSummary[] = "list the attached devices: path, probe answer, variant";

// veltra-cli list [--json] [device options] [--simulated --units DIR]: every attached device of
// the VID/PID with its interface path, whether it answers the attach probe and its chip variant.
int RunListCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace veltra::cli
