#pragma once

#include <ostream>
#include <span>
#include <string>

namespace veltra::cli {

// The whole command line after the program name: global options, then a command word and its
// arguments. Returns the process exit code.
int RunCli(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace veltra::cli
