#pragma once

#include <array>
#include <cstdint>

// The 16-byte vendor request packet: the ABI between the tool and the vendor driver.
namespace veltra::platform {

inline constexpr uint32_t kIoctlAttach = 0x152008;
inline constexpr uint32_t kIoctlDetach = 0x15200C;
inline constexpr uint32_t kIoctlVendorRequest = 0x222148;

inline constexpr uint8_t kRequestProbe = 0;
inline constexpr uint8_t kRequestWrite = 1;
inline constexpr uint8_t kRequestRead = 2;

inline constexpr size_t kVendorDataSize = 16;

struct VendorPacket {
  uint8_t requestCode = 0;
  uint8_t writeFlag = 0;
  uint16_t index = 0;        // first chip register
  uint16_t length = 0;       // data bytes
  uint32_t dataAddress = 0;  // low 32 bits of the data buffer's address

  friend bool operator==(const VendorPacket&, const VendorPacket&) = default;
};

// Little-endian layout: bytes 0-1 and 4-5 and 10-11 reserved (0).
inline std::array<uint8_t, 16> EncodeVendorPacket(const VendorPacket& p) {
  std::array<uint8_t, 16> b{};
  b[2] = p.requestCode;
  b[3] = p.writeFlag;
  b[6] = static_cast<uint8_t>(p.index);
  b[7] = static_cast<uint8_t>(p.index >> 8);
  b[8] = static_cast<uint8_t>(p.length);
  b[9] = static_cast<uint8_t>(p.length >> 8);
  for (int i = 0; i < 4; ++i)
    b[12 + i] = static_cast<uint8_t>(p.dataAddress >> (8 * i));
  return b;
}

inline VendorPacket DecodeVendorPacket(const std::array<uint8_t, 16>& b) {
  VendorPacket p;
  p.requestCode = b[2];
  p.writeFlag = b[3];
  p.index = static_cast<uint16_t>(b[6] | b[7] << 8);
  p.length = static_cast<uint16_t>(b[8] | b[9] << 8);
  p.dataAddress = static_cast<uint32_t>(b[12]) | static_cast<uint32_t>(b[13]) << 8 |
                  static_cast<uint32_t>(b[14]) << 16 | static_cast<uint32_t>(b[15]) << 24;
  return p;
}

}  // namespace veltra::platform
