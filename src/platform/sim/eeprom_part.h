#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

// The 24Cxx serial EEPROM parts the chip can boot from, with the properties that decide how a
// part behaves on the I2C bus.
namespace veltra::sim {

enum class EepromPart { k24C02, k24C04, k24C08, k24C16, k24C32, k24C64, k24C128, k24C256, k24C512 };

inline constexpr std::array<EepromPart, 9> kAllEepromParts{
    EepromPart::k24C02,  EepromPart::k24C04,  EepromPart::k24C08,
    EepromPart::k24C16,  EepromPart::k24C32,  EepromPart::k24C64,
    EepromPart::k24C128, EepromPart::k24C256, EepromPart::k24C512};

struct EepromPartInfo {
  const char* name;       // "24C02"
  uint32_t size;          // bytes
  uint32_t pageSize;      // 8, 16, 32, 64, 128: a write wraps around inside its page
  int addressBytes;       // 1 or 2 word-address bytes
  uint8_t deviceAddress;  // 0xA0, or 0xA8 for 2-byte parts (A2..A0 strapped to 100)
  int blockBits;          // address bits 8.. in device address bits 1..3: 0, 1 (24C04) .. 3
};

const EepromPartInfo& PartInfo(EepromPart part);
std::optional<EepromPart> PartFromSize(uint32_t size);
// "24C64", "S24C64", case-insensitive.
std::optional<EepromPart> PartFromName(std::string_view name);

}  // namespace veltra::sim
