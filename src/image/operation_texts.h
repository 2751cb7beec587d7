#pragma once

// The texts the tool shows for the outcomes of its device commands: message boxes in the GUI,
// the one-line reasons of veltra-cli.
namespace veltra::image::text {

inline constexpr char kCannotFindDevice[] = "Cannot find the HID device !!!";
inline constexpr char kSizeTooSmall[] = " EEPROM Size Too Small";
inline constexpr char kSaveDone[] =
    "Save into EEPROM completely.\n\nPlease un-plug and re-plug the USB device for the changes "
    "to take effect !!!";
inline constexpr char kSizeNotEnough[] = "EEPROM Size Not Enough !!!";
inline constexpr char kEraseDone[] =
    "Erase EEPROM completely.\n\nPlease un-plug and re-plug the USB device for the changes to "
    "take effect !!!";
inline constexpr char kEraseFailed[] = "Fail to erase EEPROM";
inline constexpr char kReadFailed[] = "Fail to read EEPROM";
inline constexpr char kDumpDone[] = "EEPROM -> File completely";
inline constexpr char kLoadDone[] =
    "File -> EEPROM completely.\n\nPlease un-plug and re-plug the USB device for the changes to "
    "take effect !!!";
inline constexpr char kWriteFailed[] = "Fail to write EEPROM";
// Before a write, when the EEPROM reads as a smaller part than the type chosen; the part
// probe's reason follows.
inline constexpr char kTypeTooLarge[] = "EEPROM Type Too Large !!!";

}  // namespace veltra::image::text
