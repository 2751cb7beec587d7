#pragma once

#include "image/eeprom_config.h"
#include "image/image_layout.h"

namespace veltra::cli {

// What an image model read from the device holds, in the form an image read from a file takes,
// so both are shown alike. Call after Reload, SetEepromSize and LoadTailRecords.
image::ImageContents ModelContents(const image::EepromConfig& model);

}  // namespace veltra::cli
