#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "device/transport.h"
#include "image/image_layout.h"

namespace veltra::image {

// Whether the EEPROM is smaller than the type chosen for it. A 24Cxx ignores the address bits
// above its size, so what it holds at 0 reads again at its size: a write of the chosen type's
// length would roll over and overwrite the part from 0. A repeat alone proves nothing, though:
// an image of the smaller size's length, rolled over into the right part by an earlier write,
// repeats exactly. One byte written at the smaller size and read at 0 tells them apart.
struct PartProbe {
  enum class Outcome {
    kNoSmallerPart,  // nothing says so (also: the EEPROM holds no image to tell by)
    kRepeats,        // the header at 0 reads again at partSize, and the test byte did not stay
    kSmallerPart,    // the test byte written at partSize came back at 0
    kReadFailed,     // the transport's LastFault() tells why; nothing can be said
  };
  Outcome outcome = Outcome::kNoSmallerPart;
  uint32_t partSize = 0;  // kRepeats, kSmallerPart
  // cancel said to stop before the probe could tell; the outcome is then kNoSmallerPart.
  bool cancelled = false;
  // The header read at 0, when it was read, for a caller that needs it too.
  std::optional<std::array<uint8_t, kHeaderReadLength>> header;
};

// Only before a write, which is allowed to change the EEPROM: the header read at 0 (magic,
// Header section and directory) is compared with the same length read at every smaller part
// size, the smallest first. Only a header with the magic is taken as evidence: an erased,
// constant or foreign EEPROM would match itself at every address, and a right type must never
// be refused. On a match, the first byte at that size is written inverted, the bytes at 0 and
// there are read, and the byte is written back as it was (on a smaller part, that is the byte
// at 0). Costs one header read (4 chunks: 24 requests, 28 when each chunk meets one busy poll)
// plus one per smaller part (S24C64: 6 reads, 144 to 168 requests; S24C512: 9 reads, 216 to
// 252) while no copy is found, and four one-byte transfers after a copy; an EEPROM without the
// magic costs the first read only, an S24C02 nothing. cancel, when given, is asked before each
// read.
PartProbe ProbeEepromPart(device::VendorTransport& transport,
                          const std::function<bool()>& cancel = {});

// kSmallerPart: "The EEPROM is an S24C64, not the chosen S24C512: a byte written at address
// 0x2000 came back at address 0x0000. It was put back; nothing else was written."
std::string SmallerPartText(uint32_t chosenSize, uint32_t partSize);
// kRepeats: "The EEPROM may be an S24C64, not the chosen S24C512: its first 60 bytes read again
// at address 0x2000, and a test byte written there did not stay. An image rolled over into an
// S24C512 reads so too."
std::string RepeatingPartText(uint32_t chosenSize, uint32_t partSize);
// "S24C64", or "EEPROM of 300 bytes" for a size no type has; PartName: "an S24C64".
std::string TypeName(uint32_t size);
std::string PartName(uint32_t size);

}  // namespace veltra::image
