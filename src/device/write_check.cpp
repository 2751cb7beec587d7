#include "device/write_check.h"

#include <cstdio>
#include <new>
#include <vector>

namespace veltra::device {

WriteCheck ReadBack(VendorTransport& transport, uint32_t address,
                    std::span<const uint8_t> expected) {
  WriteCheck check;
  std::vector<uint8_t> back;
  try {
    back.assign(expected.size(), 0);
  } catch (const std::bad_alloc&) {
    check.readFailed = true;
    return check;
  }
  if (transport.EepromTransfer(false, address, back.data(), static_cast<uint32_t>(back.size())) ==
      0) {
    check.readFailed = true;
    return check;
  }
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
  if (check.readFailed) {
    const std::string fault = transport.LastFaultText();
    return "read back: " + (fault.empty() ? std::string("no memory for the read") : fault);
  }
  return "read back: " + DifferenceText(check.comparison, what);
}

}  // namespace veltra::device
