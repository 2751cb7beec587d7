#pragma once

#include <optional>
#include <string>

#include "device/transport.h"
#include "image/audio_io_rules.h"
#include "image/configuration.h"

namespace veltra::production {

// The attached chip's variant and capability flags as the image model reads them (register
// 0xD9); nullopt when the chip does not answer.
std::optional<image::ChipTraits> ReadChipTraits(device::VendorTransport& transport);

// Why this chip cannot take the template as it is, or "": the first field its pages would
// change on load, with their reason ("header.audio.inputTerminal: ...").
std::string TemplateVariantProblem(const image::Configuration& configuration,
                                   const image::ChipTraits& chip);

// The template as the pages of this chip would store it after loading it; "" when it settled,
// else why it did not.
std::string NormalizeTemplate(image::Configuration& configuration, const image::ChipTraits& chip);

}  // namespace veltra::production
