#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "image/directory_entry.h"
#include "image/section_kinds.h"

namespace veltra::image {

inline constexpr uint8_t kMagic0 = 'Z';
inline constexpr uint8_t kMagic1 = 'R';
inline constexpr uint32_t kHeaderLength = 11;
// The header read stops before byte 60, so the terminator of a full directory is never read.
inline constexpr uint32_t kHeaderReadLength = 60;
inline constexpr uint32_t kDirectoryOffset = 12;
inline constexpr uint32_t kDataStart = 61;
inline constexpr uint8_t kTerminator = 0x7F;
inline constexpr uint32_t kTailRecordLength = 22;
inline constexpr uint16_t kTailFlag1 = 0x0081;
inline constexpr uint16_t kTailFlag2 = 0x0082;
// Tail record 1 needs T >= total + 83, tail record 2 T >= total + 105.
inline constexpr uint32_t kTailRecord1Room = kDataStart + kTailRecordLength;
inline constexpr uint32_t kTailRecord2Room = kTailRecord1Room + kTailRecordLength;

using TailRecord = std::array<uint8_t, kTailRecordLength>;

bool HasMagic(std::span<const uint8_t> image);

struct DirectoryEntry {
  int slot = 0;
  const SectionKind* kind = nullptr;
  EntryBytes entry{};
  EntryPlace place;
};

struct Directory {
  // In slot order; a later entry for the same kind replaces what an earlier one gave.
  std::vector<DirectoryEntry> entries;
  // Sum of the lengths of the entries at a non-zero offset, duplicates included. 32 bits, so
  // twelve long duplicate slots cannot wrap it.
  uint32_t total = 0;
  // One past the furthest byte any entry names.
  uint32_t dataEnd = 0;
};

// Examines all 12 slots of a header read (bytes 0..59); slots beyond a shorter span are not
// entries. The magic is not checked here.
Directory ReadDirectory(std::span<const uint8_t> header);

// The part of the EEPROM an image of this total occupies: the Header, the directory, the
// sections and both places a tail record may take, so that tail records an older, larger image
// left behind are overwritten too. Never more than the transfer length.
inline uint32_t UsedImageLength(uint32_t total, uint32_t transferLength) {
  const uint64_t used = uint64_t{kDataStart} + total + 2 * kTailRecordLength;
  return used < transferLength ? static_cast<uint32_t>(used) : transferLength;
}

inline bool TailRecord1Fits(uint32_t total, uint32_t transferLength) {
  return uint64_t{transferLength} >= uint64_t{total} + kTailRecord1Room;
}
inline bool TailRecord2Fits(uint32_t total, uint32_t transferLength) {
  return uint64_t{transferLength} >= uint64_t{total} + kTailRecord2Room;
}

struct TailRecords {
  std::optional<TailRecord> first;
  std::optional<TailRecord> second;
};

// Tail record 2 is looked for after tail record 1 when that one carries the flag word 0x0081,
// else at 61 + total. Bytes beyond the span read as 0.
TailRecords FindTailRecords(std::span<const uint8_t> image, uint32_t total,
                            uint32_t transferLength);

struct PackSection {
  int index = 0;  // row of the section table, 0..11
  std::span<const uint8_t> data;
};

struct PackInput {
  std::span<const PackSection> sections;    // present sections in packing order, no Header
  std::span<const uint8_t> header;          // the Header's bytes; fewer than 11 are padded with 0
  const TailRecord* tailRecord1 = nullptr;  // Playback EQ present
  const TailRecord* tailRecord2 = nullptr;  // Record EQ present
};

struct PackResult {
  bool fits = false;
  uint32_t total = 0;
  std::vector<EntryBytes> entries;  // one per input section, in input order
  bool tailRecord1Stored = false;
  bool tailRecord2Stored = false;
};

// Clears the whole span and lays the sections out in it. The image fits when 61 + total <= T,
// T is within the span, there are at most 12 sections and every offset and length fits its
// entry's fields; an image that does not fit gets no tail records. A section whose offset an
// encoding-A entry cannot hold (beyond 32767) makes the image not fit rather than be written
// with an entry that points elsewhere.
PackResult PackImage(const PackInput& input, uint32_t transferLength, std::span<uint8_t> image);

struct StoredSection {
  EntryBytes entry{};
  EntryPlace place;
  std::vector<uint8_t> data;  // place.length bytes; bytes beyond the image read as 0
};

struct ImageContents {
  bool hasMagic = false;
  std::array<uint8_t, kHeaderLength> header{};
  std::array<std::optional<StoredSection>, kDirectorySlotCount> sections;  // by table row
  uint32_t total = 0;
  uint32_t dataEnd = 0;
  TailRecords tailRecords;
};

// Reads a whole image (EEPROM contents or a .bin file) without a device. Without the magic
// nothing but hasMagic is filled in.
ImageContents ReadImage(std::span<const uint8_t> image, uint32_t transferLength);

// Where the tail records the contents hold were found: tail record 2 follows tail record 1 when
// that one is there and takes its place otherwise. nullopt for a record not found.
struct TailRecordPlaces {
  std::optional<uint32_t> first;
  std::optional<uint32_t> second;
};
TailRecordPlaces TailRecordPlacesOf(const ImageContents& contents);

}  // namespace veltra::image
