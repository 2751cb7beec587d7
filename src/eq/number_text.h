#pragma once

#include <cstdint>
#include <string_view>

namespace veltra::eq {

// The numbers the EQ pages read from their edits, as a "%d" or "%f" scan reads the start of a
// text: leading blanks, an optional sign, then the number. A text in which no number starts
// gives 0. Neither depends on the process locale.

// Whole hertz. Values beyond the 32-bit range are held at its ends (a scan has no defined
// result there).
int32_t ScanInt(std::string_view text);

// Decibels. Also reads "inf", "nan" and hexadecimal "0x" numbers as the scan does; a value too
// large for a double is an infinity, one too small 0.
double ScanDouble(std::string_view text);

}  // namespace veltra::eq
