#include "image/mcu_info.h"

namespace veltra::image {

std::optional<McuInfo> ReadMcuInfo(std::span<const uint8_t> firmware, McuWordOrder order) {
  if (firmware.size() < kMcuInfoLength) return std::nullopt;
  const auto block = firmware.last(kMcuInfoLength);
  auto word = [&](size_t at) {
    const unsigned first = block[at];
    const unsigned second = block[at + 1];
    return static_cast<uint16_t>(order == McuWordOrder::kFile ? (first << 8) | second
                                                              : first | (second << 8));
  };
  return McuInfo{word(0), word(2), word(4), word(6), word(8)};
}

}  // namespace veltra::image
