#pragma once

#include <ostream>
#include <span>
#include <string>

namespace veltra::cli {

inline constexpr char kLineName[] = "line";
inline constexpr char kLineSummary[] =
    "a line database's lines: create one, its status, void serials";

// veltra-cli line (create NAME | status NAME | void SERIAL... --line NAME) --line-db CONNECTION
// [...]: looks after the lines of stations that share one source of serials.
int RunLineCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace veltra::cli
