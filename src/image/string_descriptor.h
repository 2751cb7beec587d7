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
// The same for text held as UTF-16 units, as a front end holds it. An unpaired surrogate is
// stored as U+FFFD, so the descriptor is always well-formed UTF-16.
std::vector<uint8_t> EncodeStringDescriptor(std::u16string_view units);

// The text of a stored string section (its length bytes). Bytes 0 and 1 are not checked; the
// content is read as a zero-terminated UTF-16LE string. A section shorter than 3 bytes reads as
// empty; an odd last byte is the low half of a unit.
std::string DecodeStringDescriptor(std::span<const uint8_t> section);
// The same as UTF-16 units; an unpaired surrogate (also one left by the conversion buffer's cut)
// reads as U+FFFD.
std::u16string DecodeStringDescriptorUtf16(std::span<const uint8_t> section);

// The longest prefix of at most maxUnits units that does not end inside a surrogate pair.
std::u16string_view CutUtf16(std::u16string_view text, size_t maxUnits);

}  // namespace veltra::image
