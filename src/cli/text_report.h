#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>

#include "image/eeprom_config.h"
#include "image/image_layout.h"

namespace veltra::cli {

// What the chip said about itself; only a read from the device has it.
struct ChipSummary {
  int variant = 0;
  std::array<int, image::kCapabilityCount> capabilities{};
};

// The image as lines for a person: its decoded configuration, one block per part of the image in
// image order, with where the image stores each part.
void WriteTextReport(std::ostream& out, const image::ImageContents& contents,
                     uint32_t transferLength,
                     const std::optional<ChipSummary>& chip = std::nullopt);

}  // namespace veltra::cli
