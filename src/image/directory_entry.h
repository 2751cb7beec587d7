#pragma once

#include <array>
#include <cstdint>

#include "image/section_kinds.h"

namespace veltra::image {

// A directory slot: present bit, offset, type nibble and length in one of two encodings.
using EntryBytes = std::array<uint8_t, 4>;

struct EntryPlace {
  uint32_t offset = 0;
  uint32_t length = 0;
};

uint32_t MaxEntryOffset(EntryEncoding encoding);
uint32_t MaxEntryLength(EntryEncoding encoding);

// Present bit set. Offset and length bits above the encoding's fields are dropped; callers check
// them against MaxEntryOffset/MaxEntryLength first. The Header's kNone reads as encoding A.
EntryBytes EncodeEntry(EntryEncoding encoding, uint8_t type, uint32_t offset, uint32_t length);
EntryPlace DecodeEntry(EntryEncoding encoding, const EntryBytes& entry);

inline bool IsPresent(const EntryBytes& entry) {
  return (entry[0] & 0x80) != 0;
}
inline uint8_t EntryType(const EntryBytes& entry) {
  return entry[2] >> 4;
}
void SetPresent(EntryBytes& entry, bool present);
uint32_t EntryLength(EntryEncoding encoding, const EntryBytes& entry);
// Rewrites the length bits only; the present bit, offset and type stay.
void SetEntryLength(EntryEncoding encoding, EntryBytes& entry, uint32_t length);

// The kind a directory slot names, or null when the slot is not an entry (present bit clear: a
// zero slot or the terminator) or names no directory section. The Header section's type 0xC is
// refused too: the Header is always bytes 0..10 and a slot claiming it would only let a stored
// length overrun its 11-byte buffer.
const SectionKind* SlotSectionKind(const EntryBytes& slot);

}  // namespace veltra::image
