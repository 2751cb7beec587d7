#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace veltra::image {

// What the USB Config page accepts when a box is left.
namespace usb_text {
inline constexpr const char* kZero = "Can not enter zero";
inline constexpr const char* kSpecialCharacters = "Can not enter Special characters";
inline constexpr const char* kTwoCharacters = "At least two characters. Please enter again";
}  // namespace usb_text

// Items of "Max Power:" (100 mA .. 500 mA); a stored range above them shows no item and is
// kept on Save.
inline constexpr int kPowerRangeItems = 5;
inline constexpr int kHidIntervalMaximum = 255;

// Hexadecimal text to a number, as the VID and PID boxes are read: letters are taken in either
// case, only the first 8 characters count, and the character at position i of n adds its digit
// shifted left by 4 x (n - 1 - i). Any other character sets *error and counts as a 0 digit in its
// place ("12G4" gives 0x1204). An empty text gives 0.
uint32_t HexStringToInt(std::string_view text, bool* error = nullptr);

// The message a VID or PID box's text (one byte per character) gets when it is left; null when
// it is accepted. A refused text is cleared.
const char* CheckIdText(std::string_view text);

// A product name shorter than this many characters is refused (usb_text::kTwoCharacters).
inline constexpr size_t kProductMinimumLength = 2;

// A decimal integer at the start of the text, as scanf's %d reads it: blanks, an optional sign,
// digits. nullopt when there is none; a value out of range reads as one above the maximum.
std::optional<long long> LeadingInteger(std::string_view text);
// Whether the HID interval box keeps this text when it is left (an empty box is kept).
bool HidIntervalAccepted(std::string_view text);

}  // namespace veltra::image
