#pragma once

#include <cstdint>
#include <string>

#include "platform/guid.h"
#include "platform/sim/chip_timing.h"
#include "platform/sim/eeprom_part.h"

namespace veltra::sim {

// One simulated USB audio device: its identity on the bus, its chip and its EEPROM.
struct DeviceConfig {
  uint16_t vid = 0x5A52;
  uint16_t pid = 0x7731;
  EepromPart part = EepromPart::k24C64;
  uint8_t capability = 0x34;                   // register 0xD9
  std::string instance = "7&1a2b3c4d&0&0000";  // goes into the interface path
  std::string backingFile;  // .bin image; empty: contents live in memory only (erased, 0xFF)
  ChipTiming timing;
  // Empty: \\?\usb#vid_XXXX&pid_XXXX&mi_00#<instance>#{<class>}\global (lower-case hex).
  std::u16string interfacePath;
  platform::Guid interfaceClass = platform::kKsCategoryAudio;
  // False: an ordinary audio device without a Veltra chip: attach binds, vendor requests fail.
  bool hasChip = true;
};

}  // namespace veltra::sim
