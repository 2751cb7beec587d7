#pragma once

#include <ostream>
#include <span>
#include <string>

namespace veltra::cli {

inline constexpr char kEqCoeffsName[] = "eq-coeffs";
inline constexpr char kEqCoeffsSummary[] = "print the coefficient words of one equaliser band";

// veltra-cli eq-coeffs [--fs HZ] [--unchecked] FC BW: "A21 A31 S" as eight upper-case
// hexadecimal digits each on out, and nothing else, for scripts. args follow the command word.
int RunEqCoeffsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace veltra::cli
