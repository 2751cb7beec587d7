#include "image/directory_entry.h"

namespace veltra::image {

uint32_t MaxEntryOffset(EntryEncoding encoding) {
  return encoding == EntryEncoding::kB ? 0x1FFF : 0x7FFF;
}

uint32_t MaxEntryLength(EntryEncoding encoding) {
  return encoding == EntryEncoding::kB ? 0x3FFF : 0x0FFF;
}

EntryBytes EncodeEntry(EntryEncoding encoding, uint8_t type, uint32_t offset, uint32_t length) {
  EntryBytes entry{};
  if (encoding == EntryEncoding::kB) {
    entry[0] = static_cast<uint8_t>(0x80 | ((offset >> 6) & 0x7F));
    entry[1] = static_cast<uint8_t>(((offset & 0x3F) << 2) | ((length >> 12) & 0x03));
  } else {
    entry[0] = static_cast<uint8_t>(0x80 | ((offset >> 8) & 0x7F));
    entry[1] = static_cast<uint8_t>(offset & 0xFF);
  }
  entry[2] = static_cast<uint8_t>(((type & 0x0F) << 4) | ((length >> 8) & 0x0F));
  entry[3] = static_cast<uint8_t>(length & 0xFF);
  return entry;
}

EntryPlace DecodeEntry(EntryEncoding encoding, const EntryBytes& entry) {
  EntryPlace place;
  if (encoding == EntryEncoding::kB) {
    place.offset = (uint32_t{entry[0] & 0x7Fu} << 6) | (entry[1] >> 2);
  } else {
    place.offset = (uint32_t{entry[0] & 0x7Fu} << 8) | entry[1];
  }
  place.length = EntryLength(encoding, entry);
  return place;
}

void SetPresent(EntryBytes& entry, bool present) {
  entry[0] = static_cast<uint8_t>(present ? (entry[0] | 0x80) : (entry[0] & 0x7F));
}

uint32_t EntryLength(EntryEncoding encoding, const EntryBytes& entry) {
  uint32_t high = entry[2] & 0x0Fu;
  if (encoding == EntryEncoding::kB) high |= uint32_t{entry[1] & 0x03u} << 4;
  return (high << 8) | entry[3];
}

void SetEntryLength(EntryEncoding encoding, EntryBytes& entry, uint32_t length) {
  if (encoding == EntryEncoding::kB) {
    entry[1] = static_cast<uint8_t>((entry[1] & 0xFC) | ((length >> 12) & 0x03));
  }
  entry[2] = static_cast<uint8_t>((entry[2] & 0xF0) | ((length >> 8) & 0x0F));
  entry[3] = static_cast<uint8_t>(length & 0xFF);
}

const SectionKind* SlotSectionKind(const EntryBytes& slot) {
  if (!IsPresent(slot)) return nullptr;
  const SectionKind* kind = FindSectionKind(EntryType(slot));
  if (kind == nullptr || kind->encoding == EntryEncoding::kNone) return nullptr;
  return kind;
}

}  // namespace veltra::image
