#include "production/carried_serial.h"

#include <algorithm>
#include <vector>

#include "image/section_kinds.h"
#include "image/string_descriptor.h"

namespace veltra::production {

std::optional<std::string> ReadCarriedSerial(
    device::VendorTransport& transport, uint32_t transferLength,
    const std::optional<std::array<uint8_t, image::kHeaderReadLength>>& header) {
  std::array<uint8_t, image::kHeaderReadLength> bytes{};
  if (header) {
    bytes = *header;
  } else if (transport.EepromTransfer(false, 0, bytes.data(), image::kHeaderReadLength) == 0) {
    return std::nullopt;
  }
  if (!image::HasMagic(bytes)) return "";
  const image::Directory directory = image::ReadDirectory(bytes);
  // A later slot for the same kind replaces an earlier one, as the image model reads it.
  const auto entry =
      std::find_if(directory.entries.rbegin(), directory.entries.rend(), [](const auto& found) {
        return found.kind != nullptr && found.kind->type == image::section_type::kSerialString;
      });
  if (entry == directory.entries.rend()) return "";
  const uint32_t offset = entry->place.offset;
  if (offset >= transferLength) return "";
  // More than a descriptor and the conversion buffer hold is never read as text.
  const uint32_t length = std::min<uint32_t>(
      {entry->place.length, transferLength - offset, image::kStringConversionBytes + 2});
  std::vector<uint8_t> section(length);
  if (length > 0 && transport.EepromTransfer(false, offset, section.data(), length) == 0) {
    return std::nullopt;
  }
  return image::DecodeStringDescriptor(section);
}

}  // namespace veltra::production
