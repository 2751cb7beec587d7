#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace veltra::image {

// The MCU info block: the firmware's last 13 bytes, five 16-bit words and three unused bytes.
inline constexpr size_t kMcuInfoLength = 13;

// The longest MCU firmware the MCU section's directory entry can carry.
inline constexpr uint64_t kMaxFirmwareLength = 16383;
namespace mcu_text {
inline constexpr const char* kExceedsEeprom = "MCU File Size more than EEPROM Size";
inline constexpr const char* kExceedsSection = "MCU File Size more than 16383 bytes";
}  // namespace mcu_text

// Why the MCU page refuses a file of this length (the EEPROM's limit first); null when it
// takes it.
inline const char* McuFileRefusal(uint64_t length, bool exceedsEeprom) {
  if (exceedsEeprom) return mcu_text::kExceedsEeprom;
  return length > kMaxFirmwareLength ? mcu_text::kExceedsSection : nullptr;
}

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
