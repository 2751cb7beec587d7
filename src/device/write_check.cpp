#include "device/write_check.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <vector>

namespace veltra::device {

WriteCheck ReadBack(VendorTransport& transport, uint32_t address, std::span<const uint8_t> expected,
                    const std::function<bool()>& cancel) {
  WriteCheck check;
  std::vector<uint8_t> back;
  try {
    back.assign(expected.size(), 0);
  } catch (const std::bad_alloc&) {
    check.readFailed = true;
    return check;
  }
  const auto length = static_cast<uint32_t>(back.size());
  // Without cancel one transfer, as the window has always read it back.
  const uint32_t slice = cancel ? kReadBackSlice : std::max<uint32_t>(length, 1);
  uint32_t at = 0;
  do {
    if (cancel && cancel()) {
      check.cancelled = true;
      check.cancelledAt = address + at;
      return check;
    }
    if (transport.EepromTransfer(false, address + at, back.data() + at,
                                 std::min(slice, length - at)) == 0) {
      check.readFailed = true;
      return check;
    }
    at += slice;
  } while (at < length);
  check.comparison = CompareBytes(back, expected);
  check.comparison.first += address;
  return check;
}

std::string DifferenceText(const ByteComparison& comparison, std::string_view what) {
  char text[128];
  std::snprintf(text, sizeof text, "%u %s differ, the first at 0x%04X (EEPROM 0x%02X, %.*s 0x%02X)",
                comparison.differing, comparison.differing == 1 ? "byte" : "bytes",
                comparison.first, comparison.actual, static_cast<int>(what.size()), what.data(),
                comparison.expected);
  return text;
}

std::string DescribeWriteCheck(const WriteCheck& check, const VendorTransport& transport,
                               std::string_view what) {
  if (check.cancelled) {
    char text[48];
    std::snprintf(text, sizeof text, "read back: cancelled at 0x%04X", check.cancelledAt);
    return text;
  }
  if (check.readFailed) {
    const std::string fault = transport.LastFaultText();
    return "read back: " + (fault.empty() ? std::string("no memory for the read") : fault);
  }
  return "read back: " + DifferenceText(check.comparison, what);
}

}  // namespace veltra::device
