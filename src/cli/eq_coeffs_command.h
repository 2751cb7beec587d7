#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "eq/band.h"

namespace veltra::cli {

inline constexpr char kEqCoeffsName[] = "eq-coeffs";
inline constexpr char kEqCoeffsSummary[] = "print the coefficient words of one equaliser band";

// veltra-cli eq-coeffs [--fs HZ] [--unchecked] FC BW: "A21 A31 S" as eight upper-case
// hexadecimal digits each on out, and nothing else, for scripts. args follow the command word.
int RunEqCoeffsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);

// A whole number of hertz as the equaliser commands take it: decimal digits with an optional
// sign, nothing else.
std::optional<int32_t> ParseHertz(std::string_view text);

// The operands FC and BW of the equaliser commands; nullopt after reporting the usage error
// (its exit code in code).
std::optional<eq::Band> ParseBandOperands(std::span<const std::string> operands,
                                          const std::string& prefix, std::ostream& err, int& code);

}  // namespace veltra::cli
