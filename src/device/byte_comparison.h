#pragma once

#include <cstdint>
#include <span>

namespace veltra::device {

// Where two byte ranges of one length part: the first differing address and how many differ.
struct ByteComparison {
  uint32_t differing = 0;
  uint32_t first = 0;  // valid when differing > 0
  uint8_t actual = 0;  // the bytes at first
  uint8_t expected = 0;
  bool Identical() const { return differing == 0; }
};

// Compares over the shorter of the two lengths.
ByteComparison CompareBytes(std::span<const uint8_t> actual, std::span<const uint8_t> expected);

}  // namespace veltra::device
