#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "device/transport.h"
#include "image/image_layout.h"

namespace veltra::image {

// Whether the EEPROM is smaller than the type chosen for it, found without writing. A 24Cxx
// ignores the address bits above its size, so what it holds at 0 reads again at its size: a
// write of the chosen type's length would roll over and overwrite the part from 0.
struct PartProbe {
  enum class Outcome {
    kNoSmallerPart,  // nothing says so (also: the EEPROM holds no image to tell by)
    kSmallerPart,    // the header at 0 reads again at partSize
    kReadFailed,     // the transport's LastFault() tells why; nothing can be said
  };
  Outcome outcome = Outcome::kNoSmallerPart;
  uint32_t partSize = 0;  // kSmallerPart
  // cancel said to stop before the probe could tell; the outcome is then kNoSmallerPart.
  bool cancelled = false;
  // The header read at 0, when it was read, for a caller that needs it too.
  std::optional<std::array<uint8_t, kHeaderReadLength>> header;
};

// The header read at 0 (magic, Header section and directory) is compared with the same length
// read at every smaller part size, the smallest first. Only a header with the magic is taken
// as evidence: an erased, constant or foreign EEPROM would match itself at every address, and
// a right type must never be refused. Costs one header read (4 chunks: 24 requests, 28 when
// each chunk meets one busy poll) plus one per smaller part (S24C64: 6 reads, 144 to 168
// requests; S24C512: 9 reads, 216 to 252) while no copy is found; an EEPROM without the magic
// costs the first read only, an S24C02 nothing. cancel, when given, is asked before each read.
PartProbe ProbeEepromPart(device::VendorTransport& transport,
                          const std::function<bool()>& cancel = {});

// "The EEPROM is likely a S24C64, not the chosen S24C512: its first 60 bytes read again at
// address 0x2000. Nothing was written."
std::string SmallerPartText(uint32_t chosenSize, uint32_t partSize);

}  // namespace veltra::image
