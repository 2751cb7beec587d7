#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veltra::image {

inline constexpr uint8_t kStringDescriptorType = 0x03;
// bLength is one byte: at most 126 UTF-16 units fit.
inline constexpr size_t kMaxStringDescriptorUnits = 126;
// Stored descriptors are read through a 260-byte conversion buffer; longer content is cut.
inline constexpr size_t kStringConversionBytes = 260;

// A USB STRING descriptor of UTF-8 text: bLength = 2n + 2 for n UTF-16 units, type 0x03, the
// units little-endian. Text beyond 126 units is cut (never inside a surrogate pair).
std::vector<uint8_t> EncodeStringDescriptor(std::string_view utf8);

// The text of a stored string section (its length bytes). Bytes 0 and 1 are not checked; the
// content is read as a zero-terminated UTF-16LE string. A section shorter than 3 bytes reads as
// empty; an odd last byte is the low half of a unit.
std::string DecodeStringDescriptor(std::span<const uint8_t> section);

}  // namespace veltra::image
