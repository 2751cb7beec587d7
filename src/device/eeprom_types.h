#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace veltra::device {

// The EEPROM types the tool offers, in the order of the EEPROM TYPE list. The transfer length is
// the size less one: the last byte of the EEPROM is never part of a whole-image transfer.
struct EepromType {
  std::string_view name;
  uint32_t size;
  uint32_t transferLength;
};

inline constexpr std::array<EepromType, 9> kEepromTypes{{
    {"S24C02", 256, 255},
    {"S24C04", 512, 511},
    {"S24C08", 1024, 1023},
    {"S24C16", 2048, 2047},
    {"S24C32", 4096, 4095},
    {"S24C64", 8192, 8191},
    {"S24C128", 16384, 16383},
    {"S24C256", 32768, 32767},
    {"S24C512", 65536, 65535},
}};

// Accepts "S24C64", "24C64" and "24c64".
std::optional<EepromType> FindEepromType(std::string_view name);
std::optional<EepromType> EepromTypeBySize(uint32_t size);

}  // namespace veltra::device
