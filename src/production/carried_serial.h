#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "device/transport.h"
#include "image/image_layout.h"

namespace veltra::production {

// The text of the Serial string a unit's EEPROM holds: "" when it holds no image or no Serial
// string; nullopt when the EEPROM could not be read (the transport tells why). header is the
// first kHeaderReadLength bytes where they were read already (the part check reads them).
std::optional<std::string> ReadCarriedSerial(
    device::VendorTransport& transport, uint32_t transferLength,
    const std::optional<std::array<uint8_t, image::kHeaderReadLength>>& header = {});

}  // namespace veltra::production
