#include "image/section.h"

#include <algorithm>

namespace veltra::image {

Section::Section(const SectionKind& kind)
    : index(kind.index),
      policy(kind.policy),
      positionHint(kind.encoding == EntryEncoding::kNone ? 0 : 12 + 4 * kind.index) {
  entry[0] = kind.encoding == EntryEncoding::kNone ? 0x80 : 0x00;
  entry[2] = static_cast<uint8_t>(kind.type << 4);
  entry[3] = static_cast<uint8_t>(kind.defaultLength);
  if (kind.defaultLength != 0) data.assign(kind.defaultLength, 0);
}

std::span<uint8_t> Section::Bytes() {
  return std::span<uint8_t>(data).first(std::min<size_t>(Length(), data.size()));
}

std::span<const uint8_t> Section::Bytes() const {
  return std::span<const uint8_t>(data).first(std::min<size_t>(Length(), data.size()));
}

}  // namespace veltra::image
