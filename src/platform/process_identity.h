#pragma once

#include <string>
#include <string_view>

// Naming a process so that a later process can tell whether it still runs: a file it left
// behind, or a serial it reserved and never recorded, is then known to be abandoned.
namespace veltra::platform {

// This process as "<pid>.<start>": with the time it started, a pid names one process for good,
// as pids are reused.
std::string OwnProcessTag();

// Whether the process a tag names ("<pid>.<start>", or "<pid>" alone) has ended: its pid no
// longer runs, or now belongs to a process that started at another time. A tag of this process,
// or one that is not of that form, names no process that has ended.
bool ProcessHasEnded(std::string_view tag);

}  // namespace veltra::platform
