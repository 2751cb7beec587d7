#pragma once

// The texts the GUI shows for these outcomes; the command line reports them the same way.
namespace veltra::cli {

inline constexpr char kCannotFindText[] = "Cannot find the HID device !!!";
inline constexpr char kReadFailedText[] = "Fail to read EEPROM";
inline constexpr char kWriteFailedText[] = "Fail to write EEPROM";
inline constexpr char kEraseFailedText[] = "Fail to erase EEPROM";
inline constexpr char kSizeTooSmallText[] = " EEPROM Size Too Small";

}  // namespace veltra::cli
