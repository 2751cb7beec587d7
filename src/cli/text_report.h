#pragma once

#include <cstdint>
#include <optional>
#include <ostream>

#include "image/audio_io_rules.h"
#include "image/image_layout.h"

namespace veltra::cli {

// The image as lines for a person: its decoded configuration, one block per part of the image in
// image order, with where the image stores each part. chip: what the chip said about itself,
// which only a read from the device has.
void WriteTextReport(std::ostream& out, const image::ImageContents& contents,
                     uint32_t transferLength,
                     const std::optional<image::ChipTraits>& chip = std::nullopt);

}  // namespace veltra::cli
