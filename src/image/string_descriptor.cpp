#include "image/string_descriptor.h"

#include <algorithm>

#include "platform/text.h"

namespace veltra::image {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Pairs kept, every unpaired surrogate replaced.
std::u16string WellFormed(std::u16string_view units) {
  std::u16string out(units);
  for (size_t i = 0; i < out.size(); ++i) {
    if (IsHighSurrogate(out[i]) && i + 1 < out.size() && IsLowSurrogate(out[i + 1])) {
      ++i;
    } else if (IsHighSurrogate(out[i]) || IsLowSurrogate(out[i])) {
      out[i] = kReplacement;
    }
  }
  return out;
}

}  // namespace

std::u16string_view CutUtf16(std::u16string_view text, size_t maxUnits) {
  if (text.size() <= maxUnits) return text;
  size_t keep = maxUnits;
  if (keep > 0 && IsHighSurrogate(text[keep - 1]) && IsLowSurrogate(text[keep])) --keep;
  return text.substr(0, keep);
}

std::vector<uint8_t> EncodeStringDescriptor(std::u16string_view units) {
  const std::u16string text = WellFormed(CutUtf16(units, kMaxStringDescriptorUnits));
  std::vector<uint8_t> descriptor(2 * text.size() + 2, 0);
  descriptor[0] = static_cast<uint8_t>(descriptor.size());
  descriptor[1] = kStringDescriptorType;
  for (size_t i = 0; i < text.size(); ++i) {
    descriptor[2 + 2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
    descriptor[3 + 2 * i] = static_cast<uint8_t>(text[i] >> 8);
  }
  return descriptor;
}

std::vector<uint8_t> EncodeStringDescriptor(std::string_view utf8) {
  return EncodeStringDescriptor(std::u16string_view(platform::ToUtf16(utf8)));
}

std::u16string DecodeStringDescriptorUtf16(std::span<const uint8_t> section) {
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
  return WellFormed(units);
}

std::string DecodeStringDescriptor(std::span<const uint8_t> section) {
  return platform::ToUtf8(DecodeStringDescriptorUtf16(section));
}

}  // namespace veltra::image
