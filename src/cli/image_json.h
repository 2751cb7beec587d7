#pragma once

#include <optional>

#include "cli/text_report.h"
#include "device/eeprom_types.h"
#include "document/configuration_json.h"
#include "image/image_layout.h"

namespace veltra::cli {

// What show --json and read --json print: the configuration as export writes it (the same
// fields and values), then "layout" (transfer length, empty flag, section places, tail-record
// places) and, after a read, "chip". An image without the magic has no configuration fields.
document::Json ImageJson(const image::ImageContents& contents, const device::EepromType& eeprom,
                         const std::optional<image::ChipTraits>& chip = std::nullopt);

// The same as one line of text with its line break.
std::string ImageJsonLine(const image::ImageContents& contents, const device::EepromType& eeprom,
                          const std::optional<image::ChipTraits>& chip = std::nullopt);

}  // namespace veltra::cli
