#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace veltra::image {

// A configuration image as a chip leaves the factory: the Header with VID/PID and default
// options, manufacturer, product and serial strings, the Audio I/O section with the default
// volume ranges, and both equaliser sections with their tail records (when the EEPROM has room
// for them); no MCU section. size is the EEPROM's size; the image fills it, the bytes past the
// image erased (0xFF). nullopt when not even the strings and volumes fit.
std::optional<std::vector<uint8_t>> BuildFactoryImage(uint16_t vid, uint16_t pid, uint32_t size);

}  // namespace veltra::image
