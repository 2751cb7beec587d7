#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace veltra::image {

// The MCU info block: the firmware's last 13 bytes, five 16-bit words and three unused bytes.
inline constexpr size_t kMcuInfoLength = 13;

struct McuInfo {
  uint16_t chipId = 0;
  uint16_t vid = 0;
  uint16_t pid = 0;
  uint16_t chipVersion = 0;
  uint16_t fwVersion = 0;
};

// A firmware file shows its words big-endian, the EEPROM's copy little-endian: the same bytes
// read both ways.
enum class McuWordOrder { kFile, kEeprom };

// nullopt when the firmware is shorter than the block.
std::optional<McuInfo> ReadMcuInfo(std::span<const uint8_t> firmware, McuWordOrder order);

}  // namespace veltra::image
