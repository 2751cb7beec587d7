#pragma once

#include <cstdint>
#include <string>

// Number texts the text and JSON reports share, so both show the same values.
namespace veltra::cli {

// A stored volume word (dB x 256) in dB, exactly: "-10", "0.5", "-0.00390625".
std::string VolumeDbText(int16_t word);
// A gain code in dB with one decimal, as the EQ pages show it: "7.0", "-4.5".
std::string GainDbText(uint8_t code);
// The "Maximum:" value in dB that header byte 9 stores in tone mode.
std::string ToneMaximumDbText(uint8_t code);
// Upper-case hexadecimal with the given number of digits.
std::string HexText(uint32_t value, int digits);

}  // namespace veltra::cli
