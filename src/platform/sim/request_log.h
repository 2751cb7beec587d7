#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/vendor_packet.h"

namespace veltra::sim {

// One I/O control request as the simulated driver saw it.
struct RequestRecord {
  uint64_t sequence = 0;          // 1-based count of I/O control requests on the driver
  uint32_t ioctl = 0;             // kIoctlAttach / kIoctlDetach / kIoctlVendorRequest / other
  platform::VendorPacket packet;  // decoded, vendor requests with a 16-byte input only
  std::vector<uint8_t> data;      // write: the bytes handed over; read: the bytes returned
  std::u16string path;            // attach: the path as received (without terminator)
  size_t inputBytes = 0;          // size of the input buffer as handed over
  bool result = false;            // what IoControl returned
  int64_t timeNs = 0;             // virtual time when it completed
};

}  // namespace veltra::sim
