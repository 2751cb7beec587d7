#include "image/image_layout.h"

#include <algorithm>

namespace veltra::image {

namespace {

uint8_t ByteAt(std::span<const uint8_t> image, uint64_t address) {
  return address < image.size() ? image[address] : 0;
}

std::optional<TailRecord> TailRecordAt(std::span<const uint8_t> image, uint64_t address,
                                       uint8_t flag) {
  if (ByteAt(image, address) != flag) return std::nullopt;
  TailRecord record{};
  for (uint32_t i = 0; i < kTailRecordLength; ++i)
    record[i] = ByteAt(image, address + i);
  return record;
}

void PutTailRecord(std::span<uint8_t> image, uint32_t address, const TailRecord& record,
                   uint16_t flag) {
  std::copy(record.begin(), record.end(), image.begin() + address);
  image[address] = static_cast<uint8_t>(flag & 0xFF);
  image[address + 1] = static_cast<uint8_t>(flag >> 8);
}

}  // namespace

bool HasMagic(std::span<const uint8_t> image) {
  return image.size() >= 2 && image[0] == kMagic0 && image[1] == kMagic1;
}

Directory ReadDirectory(std::span<const uint8_t> header) {
  Directory directory;
  for (uint32_t slot = 0; slot < kDirectorySlotCount; ++slot) {
    const uint32_t at = kDirectoryOffset + 4 * slot;
    if (at + 4 > header.size()) break;
    const EntryBytes entry{header[at], header[at + 1], header[at + 2], header[at + 3]};
    const SectionKind* kind = SlotSectionKind(entry);
    if (kind == nullptr) continue;
    DirectoryEntry found;
    found.slot = static_cast<int>(slot);
    found.kind = kind;
    found.entry = entry;
    found.place = DecodeEntry(kind->encoding, entry);
    if (found.place.length != 0) {
      if (found.place.offset != 0) directory.total += found.place.length;
      directory.dataEnd = std::max(directory.dataEnd, found.place.offset + found.place.length);
    }
    directory.entries.push_back(found);
  }
  return directory;
}

TailRecords FindTailRecords(std::span<const uint8_t> image, uint32_t total,
                            uint32_t transferLength) {
  TailRecords records;
  const uint64_t first = uint64_t{kDataStart} + total;
  if (TailRecord1Fits(total, transferLength)) {
    records.first = TailRecordAt(image, first, static_cast<uint8_t>(kTailFlag1));
  }
  if (TailRecord2Fits(total, transferLength)) {
    const bool afterFirst = records.first && (*records.first)[0] == (kTailFlag1 & 0xFF) &&
                            (*records.first)[1] == (kTailFlag1 >> 8);
    const uint64_t place = afterFirst ? first + kTailRecordLength : first;
    records.second = TailRecordAt(image, place, static_cast<uint8_t>(kTailFlag2));
  }
  return records;
}

PackResult PackImage(const PackInput& input, uint32_t transferLength, std::span<uint8_t> image) {
  PackResult result;
  std::fill(image.begin(), image.end(), uint8_t{0});
  bool describable = input.sections.size() <= kDirectorySlotCount;

  uint64_t position = kDataStart;
  uint32_t slot = 0;
  for (const PackSection& section : input.sections) {
    if (slot >= kDirectorySlotCount) break;
    const SectionKind& kind = kSectionKinds.at(static_cast<size_t>(section.index));
    const uint64_t length = section.data.size();
    if (position > MaxEntryOffset(kind.encoding) || length > MaxEntryLength(kind.encoding) ||
        kind.encoding == EntryEncoding::kNone) {
      describable = false;
    }
    const EntryBytes entry = EncodeEntry(kind.encoding, kind.type, static_cast<uint32_t>(position),
                                         static_cast<uint32_t>(length));
    result.entries.push_back(entry);
    if (position + length <= image.size()) {
      std::copy(section.data.begin(), section.data.end(), image.begin() + position);
    }
    const uint32_t at = kDirectoryOffset + 4 * slot;
    if (at + 4 <= image.size()) std::copy(entry.begin(), entry.end(), image.begin() + at);
    position += length;
    result.total += static_cast<uint32_t>(length);
    ++slot;
  }

  const size_t headerBytes = std::min<size_t>({input.header.size(), kHeaderLength, image.size()});
  std::copy_n(input.header.begin(), headerBytes, image.begin());
  if (image.size() >= 2) {
    image[0] = kMagic0;
    image[1] = kMagic1;
  }
  if (kDirectoryOffset + 4 * slot < image.size()) image[kDirectoryOffset + 4 * slot] = kTerminator;

  result.fits = describable && transferLength <= image.size() &&
                uint64_t{kDataStart} + result.total <= transferLength;
  if (!result.fits) return result;

  const uint32_t first = kDataStart + result.total;
  if (input.tailRecord1 != nullptr && TailRecord1Fits(result.total, transferLength)) {
    PutTailRecord(image, first, *input.tailRecord1, kTailFlag1);
    result.tailRecord1Stored = true;
  }
  if (input.tailRecord2 != nullptr && TailRecord2Fits(result.total, transferLength)) {
    const uint32_t place = result.tailRecord1Stored ? first + kTailRecordLength : first;
    PutTailRecord(image, place, *input.tailRecord2, kTailFlag2);
    result.tailRecord2Stored = true;
  }
  return result;
}

ImageContents ReadImage(std::span<const uint8_t> image, uint32_t transferLength) {
  ImageContents contents;
  contents.hasMagic = HasMagic(image);
  if (!contents.hasMagic) return contents;

  const Directory directory =
      ReadDirectory(image.first(std::min<size_t>(image.size(), kHeaderReadLength)));
  for (const DirectoryEntry& found : directory.entries) {
    StoredSection section;
    section.entry = found.entry;
    section.place = found.place;
    section.data.assign(found.place.length, 0);
    if (found.place.offset < image.size()) {
      const size_t available =
          std::min<size_t>(found.place.length, image.size() - found.place.offset);
      std::copy_n(image.begin() + found.place.offset, available, section.data.begin());
    }
    contents.sections.at(static_cast<size_t>(found.kind->index)) = std::move(section);
  }
  for (uint32_t i = 0; i < kHeaderLength; ++i)
    contents.header[i] = ByteAt(image, i);
  contents.total = directory.total;
  contents.dataEnd = directory.dataEnd;
  contents.tailRecords = FindTailRecords(image, directory.total, transferLength);
  return contents;
}

TailRecordPlaces TailRecordPlacesOf(const ImageContents& contents) {
  const uint32_t first = kDataStart + contents.total;
  TailRecordPlaces places;
  if (contents.tailRecords.first) places.first = first;
  if (contents.tailRecords.second) {
    places.second = contents.tailRecords.first ? first + kTailRecordLength : first;
  }
  return places;
}

}  // namespace veltra::image
