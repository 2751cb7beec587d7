#pragma once

#include <cstdint>
#include <string>

// Number texts the text and JSON reports share, so both show the same values.
namespace veltra::cli {

// A stored volume word (dB x 256) in dB, exactly: "-10", "0.5", "-0.00390625".
std::string VolumeDbText(int16_t word);
// Upper-case hexadecimal with the given number of digits.
std::string HexText(uint32_t value, int digits);

}  // namespace veltra::cli
