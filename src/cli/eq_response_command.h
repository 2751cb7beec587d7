#pragma once

#include <ostream>
#include <span>
#include <string>

namespace veltra::cli {

inline constexpr char kEqResponseName[] = "eq-response";
inline constexpr char kEqResponseSummary[] =
    "print the magnitude response of equaliser bands in dB";

// veltra-cli eq-response [--at HZ,...] [--json] FC BW, or --image FILE.bin --eeprom TYPE for
// every band of both equalisers of an image: the response of the words the chip is given.
int RunEqResponseCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace veltra::cli
