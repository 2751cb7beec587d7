#pragma once

#include "image/eeprom_config.h"
#include "image/image_layout.h"

namespace veltra::image {

// What an image model read from the device holds, in the form ReadImage gives an image read from
// a file, so both decode alike. Call after Reload, SetEepromSize and LoadTailRecords.
ImageContents ModelContents(const EepromConfig& model);

}  // namespace veltra::image
