#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace veltra::cli {

inline constexpr char kEqCoeffsName[] = "eq-coeffs";
inline constexpr char kEqCoeffsSummary[] = "print the coefficient words of one equaliser band";

// veltra-cli eq-coeffs [--fs HZ] [--unchecked] FC BW: "A21 A31 S" as eight upper-case
// hexadecimal digits each on out, and nothing else, for scripts. args follow the command word.
int RunEqCoeffsCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err);

// A whole number of hertz as the equaliser commands take it: decimal digits with an optional
// sign, nothing else.
std::optional<int32_t> ParseHertz(std::string_view text);

}  // namespace veltra::cli
