#pragma once

#include <ostream>
#include <span>
#include <string>

namespace veltra::cli {

inline constexpr char kShowName[] = "show";
inline constexpr char kShowSummary[] = "decode an EEPROM image file and print its configuration";

// veltra-cli show FILE.bin --eeprom TYPE [--json]: the configuration in the file, without a
// device. A file that is not the transfer length long gets a warning on err.
int RunShowCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace veltra::cli
