#include "device/byte_comparison.h"

#include <algorithm>

namespace veltra::device {

ByteComparison CompareBytes(std::span<const uint8_t> actual, std::span<const uint8_t> expected) {
  ByteComparison result;
  const size_t length = std::min(actual.size(), expected.size());
  for (size_t i = 0; i < length; ++i) {
    if (actual[i] == expected[i]) continue;
    if (result.differing == 0) {
      result.first = static_cast<uint32_t>(i);
      result.actual = actual[i];
      result.expected = expected[i];
    }
    ++result.differing;
  }
  return result;
}

}  // namespace veltra::device
