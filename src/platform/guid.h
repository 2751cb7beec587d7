#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace veltra::platform {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  friend bool operator==(const Guid&, const Guid&) = default;
};

// KSCATEGORY_AUDIO: the interface class every USB audio function registers.
inline constexpr Guid kKsCategoryAudio{
    0x6994AD04, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}};

// Lower-case registry form without braces, as it appears in interface paths.
std::string GuidToString(const Guid& guid);

}  // namespace veltra::platform
