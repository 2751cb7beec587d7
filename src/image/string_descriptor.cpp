#include "image/string_descriptor.h"

#include <algorithm>

#include "platform/text.h"

namespace veltra::image {

std::vector<uint8_t> EncodeStringDescriptor(std::string_view utf8) {
  std::u16string units = platform::ToUtf16(utf8);
  if (units.size() > kMaxStringDescriptorUnits) {
    size_t keep = kMaxStringDescriptorUnits;
    if (units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF) --keep;  // lone high surrogate
    units.resize(keep);
  }
  std::vector<uint8_t> descriptor(2 * units.size() + 2, 0);
  descriptor[0] = static_cast<uint8_t>(descriptor.size());
  descriptor[1] = kStringDescriptorType;
  for (size_t i = 0; i < units.size(); ++i) {
    descriptor[2 + 2 * i] = static_cast<uint8_t>(units[i] & 0xFF);
    descriptor[3 + 2 * i] = static_cast<uint8_t>(units[i] >> 8);
  }
  return descriptor;
}

std::string DecodeStringDescriptor(std::span<const uint8_t> section) {
  if (section.size() <= 2) return {};
  // Keep the last unit of the conversion buffer as the terminator.
  const size_t contentBytes = std::min(section.size() - 2, kStringConversionBytes - 2);
  std::u16string units;
  for (size_t at = 0; at < contentBytes; at += 2) {
    const uint8_t low = section[2 + at];
    const uint8_t high = at + 1 < contentBytes ? section[3 + at] : 0;
    const auto unit = static_cast<char16_t>(low | (high << 8));
    if (unit == 0) break;
    units += unit;
  }
  return platform::ToUtf8(units);
}

}  // namespace veltra::image
