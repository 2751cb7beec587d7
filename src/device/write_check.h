#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "device/byte_comparison.h"
#include "device/transport.h"

namespace veltra::device {

// What reading a written range back found. The one check after every write of the EEPROM, in
// the window and in veltra-cli alike.
struct WriteCheck {
  bool readFailed = false;  // the transport's LastFault() tells why
  bool cancelled = false;   // cancel stopped the read at cancelledAt (an EEPROM address)
  uint32_t cancelledAt = 0;
  ByteComparison comparison;  // first: an EEPROM address
  bool Ok() const { return !readFailed && !cancelled && comparison.Identical(); }
};

// Reads expected.size() bytes from address and compares them with expected. With cancel given,
// the read goes in slices of kReadBackSlice bytes and cancel is asked before each.
inline constexpr uint32_t kReadBackSlice = 1024;
WriteCheck ReadBack(VendorTransport& transport, uint32_t address, std::span<const uint8_t> expected,
                    const std::function<bool()>& cancel = {});

// "12 bytes differ, the first at 0x01F0 (EEPROM 0xFF, file 0x12)"; what names the expected
// bytes ("file", "erased", "written").
std::string DifferenceText(const ByteComparison& comparison, std::string_view what);

// Why a check failed, for a log line or a command's reason: the transport's fault for a read
// that failed ("read back: chunk 0x0100: request failed"), else the difference.
std::string DescribeWriteCheck(const WriteCheck& check, const VendorTransport& transport,
                               std::string_view what);

}  // namespace veltra::device
