#pragma once

#include <cstdint>
#include <string_view>

class QString;

namespace veltra::ui {

// Hexadecimal text to a number, as the VID and PID boxes are read: letters are taken in either
// case, only the first 8 characters count, and the character at position i of n adds its digit
// shifted left by 4 x (n - 1 - i). Any other character sets *error and counts as a 0 digit in its
// place ("12G4" gives 0x1204). An empty text gives 0.
uint32_t HexStringToInt(std::string_view text, bool* error = nullptr);

// A VID or PID box: one byte per character, so a character that is no hex digit counts as one 0
// digit; the value is cut to 16 bits.
uint16_t HexBoxValue(const QString& text, bool* error = nullptr);

}  // namespace veltra::ui
